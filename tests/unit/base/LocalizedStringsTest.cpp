// The string table: language, then English, then the key; broken tables fall back quietly.
#include "base/LocalizedStrings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "base/PropertyList.h"
#include "support/TemporaryDirectory.h"

namespace orlith {
namespace {

std::string plist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body +
         "</plist>\n";
}

class LocalizedStringsTest : public ::testing::Test {
 protected:
  void write(const std::string& language, const std::string& contents) {
    auto folder = directory_.path() / (language + ".lproj");
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Localizable.strings", std::ios::binary | std::ios::trunc) << contents;
  }

  TemporaryDirectory directory_;
};

TEST_F(LocalizedStringsTest, LanguageThenEnglishThenTheKey) {
  write("en", plist("<dict><key>Loading…</key><string>Loading…</string>"
                    "<key>Reload</key><string>Reload page</string></dict>"));
  write("de", plist("<dict><key>Loading…</key><string>Wird geladen …</string>"
                    "<key>Count</key><integer>3</integer></dict>"));
  LocalizedStrings german(directory_.path(), "de_DE.UTF-8");
  EXPECT_EQ(german.lookup("Loading…"), "Wird geladen …");
  EXPECT_EQ(german.lookup("Reload"), "Reload page");
  EXPECT_EQ(german.lookup("Count"), "Count") << "an entry that is not text is absent";
  EXPECT_EQ(german.lookup("Maximum 20 tabs"), "Maximum 20 tabs");

  LocalizedStrings french(directory_.path(), "fr_FR");
  EXPECT_EQ(french.lookup("Reload"), "Reload page") << "no French folder";
  LocalizedStrings english(directory_.path(), "C");
  EXPECT_EQ(english.lookup("Loading…"), "Loading…");
}

TEST_F(LocalizedStringsTest, BrokenOrMissingTablesGiveTheFallbackNeverAFailure) {
  struct Case {
    const char* name;
    std::optional<std::string> english;
    std::optional<std::string> language;
    const char* expected;
  };
  const std::string englishTable =
      plist("<dict><key>Sign Out</key><string>Sign out</string></dict>");
  const Case cases[] = {
      {"corrupt language", englishTable, "<plist><dict><key>Sign Out</key>", "Sign out"},
      {"language not a dictionary", englishTable, plist("<array><string>Abmelden</string></array>"),
       "Sign out"},
      {"empty language file", englishTable, "", "Sign out"},
      {"corrupt English", "not xml at all", std::nullopt, "Sign Out"},
      {"no tables at all", std::nullopt, std::nullopt, "Sign Out"},
      {"binary junk", std::string("\0\xff\xfe<plist>", 10), std::string("\x01\x02", 2), "Sign Out"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(directory_.path() / "en.lproj");
    std::filesystem::remove_all(directory_.path() / "de.lproj");
    if (c.english)
      write("en", *c.english);
    if (c.language)
      write("de", *c.language);
    LocalizedStrings strings(directory_.path(), "de");
    EXPECT_EQ(strings.lookup("Sign Out"), c.expected);
  }
  LocalizedStrings noBundle({}, "de");
  EXPECT_EQ(noBundle.lookup("Sign Out"), "Sign Out");
}

TEST_F(LocalizedStringsTest, TablesAreReadOnFirstUseAndKept) {
  LocalizedStrings strings(directory_.path(), "de");
  write("de", plist("<dict><key>Back</key><string>Zurück</string></dict>"));
  EXPECT_EQ(strings.lookup("Back"), "Zurück") << "written after construction, before first use";
  write("de", plist("<dict><key>Back</key><string>Changed</string></dict>"));
  EXPECT_EQ(strings.lookup("Back"), "Zurück");
}

TEST(LocalizedStringsLanguageTest, LanguageCodeOfLocaleNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"de_DE.UTF-8", "de"},
      {"pt_BR", "pt"},
      {"sr_RS@latin", "sr"},
      {"fr", "fr"},
      {"EN_us", "en"},
      {"zh-Hans", "zh"},
      {"C", "en"},
      {"C.UTF-8", "en"},
      {"POSIX", "en"},
      {"", "en"},
      {"../de", "en"},
      {"d/e_DE", "en"},
      {"x", "en"},
      {"de\n", "en"},
      {"averyverylongname", "en"},
  };
  for (const auto& [name, code] : cases)
    EXPECT_EQ(LocalizedStrings::languageCodeOf(name), code) << name;
}

TEST(LocalizedStringsLanguageTest, MessagesLanguageFollowsThePosixOrder) {
  struct Saved {
    const char* name;
    std::optional<std::string> value;
  };
  Saved saved[] = {{"LC_ALL", {}}, {"LC_MESSAGES", {}}, {"LANG", {}}};
  for (Saved& entry : saved) {
    if (const char* value = std::getenv(entry.name))
      entry.value = value;
  }
  auto set = [](const char* name, const char* value) {
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  };
  struct Case {
    const char* all;
    const char* messages;
    const char* lang;
    const char* expected;
  };
  const Case cases[] = {
      {"fr_FR.UTF-8", "de_DE.UTF-8", "es_ES.UTF-8", "fr"},
      {"", "de_DE.UTF-8", "es_ES.UTF-8", "de"},
      {nullptr, nullptr, "es_ES.UTF-8", "es"},
      {nullptr, nullptr, nullptr, "en"},
      {nullptr, "C", "es_ES.UTF-8", "en"},
  };
  for (const Case& c : cases) {
    set("LC_ALL", c.all);
    set("LC_MESSAGES", c.messages);
    set("LANG", c.lang);
    EXPECT_EQ(LocalizedStrings::messagesLanguageCode(), c.expected);
  }
  for (const Saved& entry : saved)
    set(entry.name, entry.value ? entry.value->c_str() : nullptr);
}

TEST(LocalizedStringsBundleTest, TheBundlesEnglishTableIsAWellFormedTableOfTexts) {
  const std::filesystem::path source =
      std::filesystem::path(ORLITH_SOURCE_DIR) / "src/app/resources/en.lproj/Localizable.strings";
  PlistValue root = readPropertyListFile(source);
  ASSERT_TRUE(root.dictionary());
  for (const auto& [key, value] : root.dictionary()->entries())
    EXPECT_TRUE(value.string()) << key;

  const std::filesystem::path resources =
      std::filesystem::path(ORLITH_BUNDLE_DIR) / "Contents" / "Resources";
  if (!std::filesystem::exists(resources / "en.lproj"))
    GTEST_SKIP() << "built without the app bundle";
  LocalizedStrings strings(resources, "xx");
  for (const auto& [key, value] : root.dictionary()->entries())
    EXPECT_EQ(strings.lookup(key), *value.string());
}

}  // namespace
}  // namespace orlith
