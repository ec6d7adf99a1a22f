// Tests for the property-list reader: every value type, a real Info.plist, and strict refusal
// of malformed documents.
#include "base/PropertyList.h"

#include <gtest/gtest.h>

#include <fstream>
#include <system_error>

#include "support/TemporaryDirectory.h"

namespace orlith {
namespace {

std::string plist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>";
}

std::string nestedArrays(int depth) {
  std::string xml;
  for (int i = 0; i < depth; ++i) {
    xml += "<array>";
  }
  for (int i = 0; i < depth; ++i) {
    xml += "</array>";
  }
  return xml;
}

TEST(PropertyListTest, ReadsEveryValueType) {
  PlistValue root = parsePropertyList(plist(R"(
    <dict>
      <key>s</key><string> a &amp; b &lt;c&gt; </string>
      <key>empty</key><string/>
      <key>cdata</key><string><![CDATA[<x>]]></string>
      <key>yes</key><true/>
      <key>no</key><false/>
      <key>int</key><integer> -42 </integer>
      <key>big</key><integer>9223372036854775807</integer>
      <key>real</key><real>2.5</real>
      <key>data</key><data>
        Zm9v
        Yg==
      </data>
      <key>date</key><date>2001-01-01T00:00:00Z</date>
      <key>list</key><array><string>x</string><integer>1</integer><array/></array>
      <key>nested</key><dict><key>inner</key><true/></dict>
    </dict>)"));
  const PlistDictionary* dict = root.dictionary();
  ASSERT_NE(dict, nullptr);
  EXPECT_EQ(dict->size(), 12u);
  EXPECT_EQ(*dict->find("s")->string(), " a & b <c> ");
  EXPECT_EQ(*dict->find("empty")->string(), "");
  EXPECT_EQ(*dict->find("cdata")->string(), "<x>");
  EXPECT_EQ(*dict->find("yes")->boolean(), true);
  EXPECT_EQ(*dict->find("no")->boolean(), false);
  EXPECT_EQ(*dict->find("int")->integer(), -42);
  EXPECT_EQ(*dict->find("big")->integer(), INT64_MAX);
  EXPECT_EQ(*dict->find("real")->real(), 2.5);
  EXPECT_EQ(*dict->find("data")->data(), (PlistData{'f', 'o', 'o', 'b'}));
  EXPECT_EQ(dict->find("date")->date()->time_since_epoch(), std::chrono::seconds(978307200));
  const PlistArray* list = dict->find("list")->array();
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->size(), 3u);
  EXPECT_EQ(list->at(1).type(), PlistType::Integer);
  EXPECT_TRUE(list->at(2).array()->empty());
  EXPECT_EQ(*dict->find("nested")->dictionary()->find("inner")->boolean(), true);
  // Accessors of another type give nothing.
  EXPECT_EQ(dict->find("s")->integer(), nullptr);
  EXPECT_EQ(dict->find("int")->string(), nullptr);
  EXPECT_EQ(dict->find("absent"), nullptr);
}

TEST(PropertyListTest, ReadsTheAppInfoPlist) {
  PlistValue root = readPropertyListFile(std::filesystem::path(ORLITH_SOURCE_DIR) /
                                         "tests/unit/base/fixtures/Info.plist");
  const PlistDictionary* dict = root.dictionary();
  ASSERT_NE(dict, nullptr);
  EXPECT_EQ(*dict->find("CFBundleIdentifier")->string(), "com.tolvik.orlith.mac");
  EXPECT_EQ(*dict->find("CFBundleExecutable")->string(), "Orlith");
  EXPECT_EQ(*dict->find("CFBundleShortVersionString")->string(), "2.4.1");
  EXPECT_EQ(*dict->find("CFBundleVersion")->string(), "317");
}

TEST(PropertyListTest, MalformedDocumentsAreRefused) {
  const std::pair<const char*, std::string> kCases[] = {
      {"Empty", ""},
      {"NotXml", "CFBundleIdentifier = x;"},
      {"Unclosed", "<plist><dict><key>a</key><string>x</string></plist>"},
      {"MismatchedTag", plist("<dict><key>a</key><string>x</integer></dict>")},
      {"WrongRoot", "<dict><key>a</key><true/></dict>"},
      {"EmptyPlist", plist("")},
      {"TwoValues", plist("<true/><false/>")},
      {"UnknownElement", plist("<dict><key>a</key><number>1</number></dict>")},
      {"KeyWithoutValue", plist("<dict><key>a</key></dict>")},
      {"TwoKeysInARow", plist("<dict><key>a</key><key>b</key><true/></dict>")},
      {"ValueWithoutKey", plist("<dict><string>x</string></dict>")},
      {"DuplicateKey", plist("<dict><key>a</key><true/><key>a</key><false/></dict>")},
      {"KeyInArray", plist("<array><key>a</key></array>")},
      {"ElementInString", plist("<string>a<true/></string>")},
      {"TextInDict", plist("<dict>stray<key>a</key><true/></dict>")},
      {"TextInBoolean", plist("<true>yes</true>")},
      {"FractionalInteger", plist("<integer>1.5</integer>")},
      {"EmptyInteger", plist("<integer></integer>")},
      {"IntegerOutOfRange", plist("<integer>9223372036854775808</integer>")},
      {"HexInteger", plist("<integer>0x10</integer>")},
      {"BadReal", plist("<real>1.5x</real>")},
      {"BadBase64", plist("<data>Zm9*</data>")},
      {"DateWithoutZone", plist("<date>2001-01-01T00:00:00</date>")},
      {"BadDate", plist("<date>yesterday</date>")},
      {"BadEntity", plist("<string>&bogus;</string>")},
      {"InvalidUtf8", plist("<string>\xFF</string>")},
      {"ContentAfterPlist", plist("<true/>") + "<plist><true/></plist>"},
      {"TooDeep", plist(nestedArrays(kMaxPropertyListDepth))},
  };
  for (const auto& [name, xml] : kCases) {
    EXPECT_THROW(parsePropertyList(xml), PropertyListError) << name;
  }
  EXPECT_NO_THROW(parsePropertyList(plist(nestedArrays(kMaxPropertyListDepth - 1))));
}

TEST(PropertyListTest, DatesBeyondTheClockAreClampedInOrder) {
  const auto dateOf = [](const char* text) {
    return *parsePropertyList(plist(std::string("<date>") + text + "</date>")).date();
  };
  const auto now = std::chrono::system_clock::now();
  const auto last = dateOf("9999-12-31T23:59:59Z");
  const auto first = dateOf("0001-01-01T00:00:00Z");
  EXPECT_GT(last, now + std::chrono::hours(24 * 365 * 70));
  EXPECT_LT(first, now - std::chrono::hours(24 * 365 * 70));
  EXPECT_GE(last, dateOf("2262-06-01T00:00:00Z"));
  EXPECT_LE(first, dateOf("1677-06-01T00:00:00Z"));
}

TEST(PropertyListTest, FileErrorsAreSystemErrorsAndContentErrorsNameTheFile) {
  TemporaryDirectory directory;
  EXPECT_THROW(readPropertyListFile(directory.path() / "missing.plist"), std::system_error);
  std::ofstream(directory.path() / "bad.plist") << "<plist>";
  try {
    readPropertyListFile(directory.path() / "bad.plist");
    FAIL() << "no error";
  } catch (const PropertyListError& error) {
    EXPECT_NE(std::string(error.what()).find("bad.plist"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace orlith
