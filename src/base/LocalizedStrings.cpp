// Reads the string tables lazily and falls back from the language to English to the key.
#include "base/LocalizedStrings.h"

#include <cstdlib>
#include <exception>
#include <utility>

#include "base/BundleInfo.h"
#include "base/PropertyList.h"

namespace orlith {
namespace {

constexpr std::string_view kEnglish = "en";

bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

LocalizedStrings::LocalizedStrings(std::filesystem::path resources, std::string languageCode)
    : resources_(std::move(resources)), languageCode_(languageCodeOf(languageCode)) {}

std::string LocalizedStrings::languageCodeOf(std::string_view localeName) {
  const std::size_t end = localeName.find_first_of("_.@-");
  std::string_view language = localeName.substr(0, end);
  // The code names a folder: only a plain code of letters is taken.
  if (language.size() < 2 || language.size() > 8 || language == "POSIX")
    return std::string(kEnglish);
  std::string code;
  for (char c : language) {
    if (!isAsciiLetter(c))
      return std::string(kEnglish);
    code.push_back(static_cast<char>(c | 0x20));
  }
  return code;
}

std::string LocalizedStrings::messagesLanguageCode() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value)
      return languageCodeOf(value);
  }
  return std::string(kEnglish);
}

const LocalizedStrings::Table* LocalizedStrings::table(const std::string& language) const {
  auto found = tables_.find(language);
  if (found == tables_.end()) {
    std::optional<Table> loaded;
    if (!resources_.empty()) {
      try {
        PlistValue root =
            readPropertyListFile(resources_ / (language + ".lproj") / "Localizable.strings");
        if (const PlistDictionary* entries = root.dictionary()) {
          loaded.emplace();
          for (const auto& [key, value] : entries->entries()) {
            if (const std::string* text = value.string())
              loaded->emplace(key, *text);
          }
        }
      } catch (const std::exception&) {
        // A missing or broken table is no table: its keys fall back, and nothing else fails.
      }
    }
    found = tables_.emplace(language, std::move(loaded)).first;
  }
  return found->second ? &*found->second : nullptr;
}

std::string LocalizedStrings::lookup(std::string_view key) const {
  std::lock_guard lock(mutex_);
  if (const Table* language = table(languageCode_)) {
    if (auto entry = language->find(key); entry != language->end())
      return entry->second;
  }
  if (languageCode_ != kEnglish) {
    if (const Table* english = table(std::string(kEnglish))) {
      if (auto entry = english->find(key); entry != english->end())
        return entry->second;
    }
  }
  return std::string(key);
}

const LocalizedStrings& LocalizedStrings::main() {
  static const LocalizedStrings strings = [] {
    const auto& bundle = BundleInfo::main().bundlePath();
    return LocalizedStrings(
        bundle.empty() ? std::filesystem::path() : bundle / "Contents" / "Resources",
        messagesLanguageCode());
  }();
  return strings;
}

std::string localizedString(std::string_view key) {
  return LocalizedStrings::main().lookup(key);
}

}  // namespace orlith
