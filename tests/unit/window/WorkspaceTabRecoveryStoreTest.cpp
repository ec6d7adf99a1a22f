// Tests for the tab recovery store: the account key, which addresses are remembered, reading and
// cleaning stored records, and merging one window's entry into the account's record.
#include "workspace/window/WorkspaceTabRecoveryStore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "support/FakePreferences.h"

namespace orlith {

// Readable failure messages; static so no other test file's printer can clash with it.
[[maybe_unused]] static void PrintTo(const WorkspaceTabRecoveryWindow& window, std::ostream* out) {
  *out << "{" << window.id << ", [";
  for (const auto& url : window.urls)
    *out << url << (&url == &window.urls.back() ? "" : ", ");
  *out << "], " << window.selectedIndex << "}";
}

namespace {

const ServiceHosts kHosts{"https://orlith.example", "orlith.example", "www.orlith.example"};

Url url(const std::string& text) {
  auto parsed = Url::parse(text);
  if (!parsed)
    throw std::invalid_argument(text);
  return *parsed;
}

OrlithEnvironment environment() {
  return OrlithEnvironment(url("https://orlith.example"), kHosts);
}

std::string app(const std::string& path) {
  return "https://orlith.example" + path;
}

std::vector<Url> urls(const std::vector<std::string>& texts) {
  std::vector<Url> result;
  for (const auto& text : texts)
    result.push_back(url(text));
  return result;
}

// 00000000-0000-4000-8000-00000000000N, upper case.
std::string windowID(int n) {
  char text[37];
  std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012X", n);
  return text;
}

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string windowJson(const std::string& id, const std::vector<std::string>& urlTexts,
                       const std::string& selectedIndex = "0") {
  std::string list;
  for (const auto& text : urlTexts)
    list += (list.empty() ? "" : ",") + text;
  return R"({"id":)" + quoted(id) + R"(,"urls":[)" + list + R"(],"selectedIndex":)" +
         selectedIndex + "}";
}

std::string recordJson(const std::vector<std::string>& windows, const std::string& schema = "1") {
  std::string list;
  for (const auto& window : windows)
    list += (list.empty() ? "" : ",") + window;
  return R"({"schemaVersion":)" + schema + R"(,"windows":[)" + list + "]}";
}

PreferenceData bytes(const std::string& text) {
  return PreferenceData(text.begin(), text.end());
}

// A record padded with trailing whitespace (valid JSON) to exactly `size` bytes.
std::string paddedRecord(std::size_t size) {
  std::string text = recordJson({windowJson(windowID(1), {quoted(app("/app"))})});
  text.append(size - text.size(), ' ');
  return text;
}

class RecoveryStoreTest : public ::testing::Test {
 protected:
  WorkspaceTabRecoveryStore store() {
    auto made = WorkspaceTabRecoveryStore::make("alice@example.com", environment(), defaults_);
    if (!made)
      throw std::logic_error("no store for alice");
    return *made;
  }

  void putRecord(const std::string& text) { defaults_.setData(store().key(), bytes(text)); }

  std::optional<PreferenceData> record() { return defaults_.data(store().key()); }

  FakePreferences defaults_;
};

constexpr const char* kPrefix = "orlith.tabRecovery.v1.";

TEST(WorkspaceTabRecoveryStoreTest, GoldenKeys) {
  struct Case {
    const char* account;
    const char* digest;
  };
  const Case cases[] = {
      {" ALICE@Example.com\n", "ff8d9819fc0e12bf0d24892e45987e249a28dce836a85cad60e28eaaa8c6d976"},
      {"alice@example.com", "ff8d9819fc0e12bf0d24892e45987e249a28dce836a85cad60e28eaaa8c6d976"},
      // Non-breaking space and line separator are White_Space too.
      {"\xC2\xA0"
       "alice@example.com\xE2\x80\xA8",
       "ff8d9819fc0e12bf0d24892e45987e249a28dce836a85cad60e28eaaa8c6d976"},
      {"\xC3\x89VA@EXAMPLE.COM",
       "45b43922433144b5d0fd434e4176f4ffc41131aa0d478e7246bd5e9caa153e04"},
      // The dotted capital I lower-cases to "i" and a combining dot above in every locale.
      {"\xC4\xB0@x", "474a6c297d70e56869fd530fed82c6bcb31850a91e12824d9c1004cf86e13a4f"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WorkspaceTabRecoveryStore::recoveryKey(c.account), std::string(kPrefix) + c.digest)
        << c.account;
  }
}

// "@" followed by copies of "e" + U+0301: one user-perceived character per copy, but two code
// points and three bytes, so only grapheme counting puts the limit in the right place.
std::string accountOfGraphemes(std::size_t graphemes) {
  std::string account = "@";
  for (std::size_t i = 1; i < graphemes; ++i)
    account += "e\xCC\x81";
  return account;
}

TEST(WorkspaceTabRecoveryStoreTest, AccountsThatGetNoStore) {
  struct Case {
    std::optional<std::string> account;
    bool qualifies;
  };
  const Case cases[] = {
      {std::nullopt, false},
      {"", false},
      {" \n\t\xE3\x80\x80", false},  // whitespace only, an ideographic space included
      {"alice.example.com", false},
      {"alice@\xFF.com", false},  // not UTF-8: refused rather than hashed in a lossy form
      {accountOfGraphemes(320), true},
      {" " + accountOfGraphemes(320) + "\n", true},
      {accountOfGraphemes(321), false},
      {"@", true},
  };
  FakePreferences defaults;
  for (const Case& c : cases) {
    auto store = WorkspaceTabRecoveryStore::make(c.account, environment(), defaults);
    EXPECT_EQ(store.has_value(), c.qualifies) << c.account.value_or("(none)");
    if (store) {
      EXPECT_EQ(store->key().size(), 86u);
      EXPECT_TRUE(store->key().starts_with(kPrefix));
    }
  }
}

TEST(WorkspaceTabRecoveryStoreTest, RecoverableURLs) {
  struct Case {
    std::string address;
    std::optional<std::string> remembered;
  };
  const Case cases[] = {
      {app("/app"), app("/app")},
      {app("/app/notes/1?q=x#top"), app("/app/notes/1")},
      {"HTTPS://ORLITH.EXAMPLE/app/x", "HTTPS://ORLITH.EXAMPLE/app/x"},
      {app("/apps"), std::nullopt},
      {app("/"), std::nullopt},
      {"https://other.example/app", std::nullopt},
      {"http://orlith.example/app", std::nullopt},
      {"https://orlith.example:443/app", std::nullopt},
      {"https://alice@orlith.example/app", std::nullopt},
      {app("/app?") + std::string(4096, 'q'), std::nullopt},
      // Addresses a server may resolve elsewhere than they look, such as the sign-out page.
      {app("/app/../logout"), std::nullopt},
      {app("/app%2F..%2Flogout"), std::nullopt},
      {app("/app/%2e%2e/logout"), std::nullopt},
      {app("/app/%5Clogout"), std::nullopt},
  };
  const Url origin = environment().origin();
  for (const Case& c : cases) {
    auto remembered = WorkspaceTabRecoveryStore::recoverableURL(url(c.address), origin);
    EXPECT_EQ(remembered ? std::optional(remembered->absoluteString()) : std::nullopt, c.remembered)
        << c.address;
  }
}

TEST_F(RecoveryStoreTest, StoredRecordsLoadCleaned) {
  const std::string a = app("/app/a"), b = app("/app/b"), c = app("/app/c");
  std::vector<std::string> seventeen;
  std::vector<WorkspaceTabRecoveryWindow> firstSixteen;
  for (int n = 1; n <= 17; ++n) {
    seventeen.push_back(windowJson(windowID(n), {quoted(a)}));
    if (n <= 16)
      firstSixteen.push_back({windowID(n), {a}, 0});
  }
  std::vector<std::string> twentyTwo;
  std::vector<std::string> firstTwenty;
  for (int n = 0; n < 22; ++n) {
    twentyTwo.push_back(quoted(app("/app/" + std::to_string(n))));
    if (n < 20)
      firstTwenty.push_back(app("/app/" + std::to_string(n)));
  }

  struct Case {
    const char* name;
    std::string record;
    std::vector<WorkspaceTabRecoveryWindow> expected;
  };
  const Case cases[] = {
      {"schema 2", recordJson({windowJson(windowID(1), {quoted(a)})}, "2"), {}},
      {"no selectedIndex",
       recordJson({R"({"id":")" + windowID(1) + R"(","urls":[")" + a + R"("]})"}),
       {}},
      {"a URL that is no string", recordJson({windowJson(windowID(1), {quoted(a), "5"})}), {}},
      {"a fractional index", recordJson({windowJson(windowID(1), {quoted(a)}, "1.0")}), {}},
      {"an id that is no UUID", recordJson({windowJson("window-1", {quoted(a)})}), {}},
      {"no object", "[]", {}},
      {"no JSON", R"({"schemaVersion":1,)", {}},
      {"ids differing only in case",
       recordJson({windowJson("00000000-0000-4000-8000-00000000000a", {quoted(a)}),
                   windowJson("00000000-0000-4000-8000-00000000000A", {quoted(b)})}),
       {{"00000000-0000-4000-8000-00000000000A", {a}, 0}}},
      {"an index past the end",
       recordJson({windowJson(windowID(1), {quoted(a), quoted(b), quoted(c)}, "7")}),
       {{windowID(1), {a, b, c}, 2}}},
      {"a negative index",
       recordJson({windowJson(windowID(1), {quoted(a), quoted(b)}, "-3")}),
       {{windowID(1), {a, b}, 0}}},
      {"17 windows", recordJson(seventeen), firstSixteen},
      {"22 URLs",
       recordJson({windowJson(windowID(1), twentyTwo, "21")}),
       {{windowID(1), firstTwenty, 19}}},
      {"unknown keys and escaped solidi",
       R"({"extra":true,"windows":[{"title":"x","selectedIndex":0,"urls":["https:\/\/orlith.example\/app"],"id":")" +
           windowID(1) + R"("}],"schemaVersion":1})",
       {{windowID(1), {app("/app")}, 0}}},
      {"unsafe and foreign pages dropped, the selection moved back",
       recordJson(
           {windowJson(windowID(1),
                       {quoted(a), quoted(app("/app/../logout")), quoted(app("/app%2F..%2Flogout")),
                        quoted("https://x.example/app"), quoted(b + "?q=1")},
                       "3")}),
       {{windowID(1), {a, b}, 0}}},
      // The unreadable string still counts as a position: index 1 is a, not b.
      {"a string that is no URL",
       recordJson({windowJson(windowID(1), {quoted("no url"), quoted(a), quoted(b)}, "1")}),
       {{windowID(1), {a, b}, 0}}},
      {"an entry without a recoverable page",
       recordJson(
           {windowJson(windowID(1), {quoted(app("/"))}), windowJson(windowID(2), {quoted(a)})}),
       {{windowID(2), {a}, 0}}},
      {"an entry without URLs", recordJson({windowJson(windowID(1), {})}), {}},
  };
  for (const Case& c : cases) {
    putRecord(c.record);
    EXPECT_EQ(store().load(), c.expected) << c.name;
  }
}

TEST_F(RecoveryStoreTest, RecordSizeLimitOnLoad) {
  putRecord(paddedRecord(262'144));
  EXPECT_EQ(store().load().size(), 1u);
  putRecord(paddedRecord(262'145));
  EXPECT_TRUE(store().load().empty());
}

TEST_F(RecoveryStoreTest, UnusableRecordIsReplacedByTheSavingWindow) {
  struct Case {
    const char* name;
    PreferenceValue value;
  };
  const std::string stored = windowJson(windowID(1), {quoted(app("/app/old"))});
  const Case cases[] = {
      {"schema 2", bytes(recordJson({stored}, "2"))},
      {"no selectedIndex",
       bytes(recordJson({R"({"id":")" + windowID(1) + R"(","urls":[")" + app("/app") + R"("]})"}))},
      {"262,145 bytes", bytes(paddedRecord(262'145))},
      {"a string, not data", recordJson({stored})},
  };
  for (const Case& c : cases) {
    defaults_.setValue(store().key(), c.value);
    store().save(windowID(9), urls({app("/app/new")}), 0);
    const std::vector<WorkspaceTabRecoveryWindow> expected = {{windowID(9), {app("/app/new")}, 0}};
    EXPECT_EQ(store().load(), expected) << c.name;
  }
}

TEST_F(RecoveryStoreTest, SaveKeepsRecoverablePagesAndMovesTheSelection) {
  const std::string a = app("/app/a"), b = app("/app/b");
  std::vector<std::string> twentyFive;
  std::vector<std::string> firstTwenty;
  for (int n = 0; n < 25; ++n) {
    twentyFive.push_back(app("/app/" + std::to_string(n)));
    if (n < 20)
      firstTwenty.push_back(twentyFive.back());
  }
  struct Case {
    std::vector<std::string> tabs;
    std::int64_t selectedIndex;
    std::vector<std::string> kept;
    std::int64_t keptIndex;
  };
  const Case cases[] = {
      {{a, b}, 1, {a, b}, 1},
      {{a + "?q=1#f"}, 0, {a}, 0},
      {{a, app("/app/../logout"), b}, 1, {a, b}, 0},
      {{app("/app%2F..%2Flogout"), a}, 0, {a}, 0},
      {{a, "https://x.example/app", b, app("/apps")}, 3, {a, b}, 1},
      {{a, b}, -1, {a, b}, 0},
      {{a, b}, 9, {a, b}, 1},
      {twentyFive, 22, firstTwenty, 19},
  };
  for (const Case& c : cases) {
    defaults_.remove(store().key());
    store().save(windowID(1), urls(c.tabs), c.selectedIndex);
    const std::vector<WorkspaceTabRecoveryWindow> expected = {{windowID(1), c.kept, c.keptIndex}};
    EXPECT_EQ(store().load(), expected) << c.tabs.front() << " at " << c.selectedIndex;
  }
}

TEST_F(RecoveryStoreTest, SavingNothingRecoverableLeavesTheRecordAsItWas) {
  store().save(windowID(1), urls({app("/app/a")}), 0);
  const auto before = record();
  const int writes = defaults_.writeCount();
  store().save(windowID(1), urls({app("/"), app("/app/../logout")}), 0);
  store().save("window-1", urls({app("/app/b")}), 0);  // not a UUID
  EXPECT_EQ(record(), before);
  EXPECT_EQ(defaults_.writeCount(), writes);
}

TEST_F(RecoveryStoreTest, WindowsKeepTheirPlaceAndTheOldestGoBeyondSixteen) {
  for (int n = 1; n <= 16; ++n)
    store().save(windowID(n), urls({app("/app/" + std::to_string(n))}), 0);
  // A second window object of the same account merges into the one record.
  auto other = WorkspaceTabRecoveryStore::make(" Alice@Example.com", environment(), defaults_);
  ASSERT_TRUE(other);
  other->save(windowID(3), urls({app("/app/three")}), 0);
  EXPECT_EQ(store().load().at(2),
            (WorkspaceTabRecoveryWindow{windowID(3), {app("/app/three")}, 0}));

  store().save(windowID(17), urls({app("/app/17")}), 0);
  auto windows = store().load();
  ASSERT_EQ(windows.size(), 16u);
  EXPECT_EQ(windows.front().id, windowID(2));
  EXPECT_EQ(windows.at(1).urls, std::vector<std::string>{app("/app/three")});
  EXPECT_EQ(windows.back().id, windowID(17));
}

TEST_F(RecoveryStoreTest, MergedRecordOverTheLimitIsNotWritten) {
  // Each window's entry is about 24.6 kB: ten fit under 262,144 bytes, eleven do not.
  auto longPages = [](int window) {
    std::vector<Url> pages;
    for (int n = 0; n < 20; ++n) {
      pages.push_back(url(app("/app/" + std::to_string(window) + "/" + std::to_string(n) + "/" +
                              std::string(1200, 'x'))));
    }
    return pages;
  };
  for (int n = 1; n <= 10; ++n)
    store().save(windowID(n), longPages(n), 0);
  ASSERT_EQ(store().load().size(), 10u);
  ASSERT_LE(record()->size(), 262'144u);
  const auto before = record();

  store().save(windowID(11), longPages(11), 0);
  EXPECT_EQ(record(), before);

  // A save that shrinks the record is written.
  store().save(windowID(1), urls({app("/app/short")}), 0);
  EXPECT_EQ(store().load().front().urls, std::vector<std::string>{app("/app/short")});
}

TEST_F(RecoveryStoreTest, WriteFailuresAreSwallowedAndLoseNothing) {
  store().save(windowID(1), urls({app("/app/a")}), 0);
  const auto before = record();
  defaults_.setFailWrites(true);
  EXPECT_NO_THROW(store().save(windowID(2), urls({app("/app/b")}), 0));
  EXPECT_NO_THROW(store().remove());
  EXPECT_EQ(record(), before);

  defaults_.setFailWrites(false);
  store().remove();
  EXPECT_FALSE(record());
  EXPECT_TRUE(store().load().empty());
}

TEST_F(RecoveryStoreTest, RecordIsCompactJsonInFieldOrder) {
  store().save("e621e1f8-c36c-495a-93fc-0c247a3e6e5f", urls({app("/app"), app("/app/x")}), 1);
  const std::string expected =
      R"({"schemaVersion":1,"windows":[{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
      R"("urls":["https://orlith.example/app","https://orlith.example/app/x"],"selectedIndex":1}]})";
  EXPECT_EQ(record(), bytes(expected));
}

TEST_F(RecoveryStoreTest, AnotherAccountHasItsOwnRecord) {
  store().save(windowID(1), urls({app("/app/a")}), 0);
  auto bob = WorkspaceTabRecoveryStore::make("bob@example.com", environment(), defaults_);
  ASSERT_TRUE(bob);
  EXPECT_NE(bob->key(), store().key());
  EXPECT_TRUE(bob->load().empty());
  bob->remove();
  EXPECT_EQ(store().load().size(), 1u);
}

}  // namespace
}  // namespace orlith
