// The table of user texts: the English text is the key, and each language's translation lives in
// <bundle>/Contents/Resources/<language>.lproj/Localizable.strings, an XML property list holding
// a dictionary of key to text.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace orlith {

class LocalizedStrings {
 public:
  // `resources` is the bundle's Contents/Resources folder; an empty path has no tables.
  LocalizedStrings(std::filesystem::path resources, std::string languageCode);

  // The text of the language, else the English text, else the key itself. Never fails: a
  // missing, unreadable or malformed table counts as absent, and so does an entry that is not
  // text. Tables are read on first use, once.
  std::string lookup(std::string_view key) const;

  const std::string& languageCode() const { return languageCode_; }

  // The language of a locale name ("de_DE.UTF-8@euro" → "de"), lower-cased; "en" for the C and
  // POSIX locales, an empty name, and anything that is not a plain language code.
  static std::string languageCodeOf(std::string_view localeName);
  // The language of the process's messages: LC_ALL, else LC_MESSAGES, else LANG, the first
  // that is set and not empty.
  static std::string messagesLanguageCode();

  // The running program's bundle and messages language, made on first use.
  static const LocalizedStrings& main();

 private:
  using Table = std::map<std::string, std::string, std::less<>>;
  const Table* table(const std::string& language) const;

  std::filesystem::path resources_;
  std::string languageCode_;
  mutable std::mutex mutex_;
  mutable std::map<std::string, std::optional<Table>> tables_;
};

// LocalizedStrings::main().lookup(key).
std::string localizedString(std::string_view key);

}  // namespace orlith
