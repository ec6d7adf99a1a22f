// Tests for the tab recovery store: the account key, reading and cleaning stored records, and
// merging one window's entry into the account's record.
#include "workspace/window/WorkspaceTabRecoveryStore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FakePreferences.h"

namespace orlith {
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

constexpr const char* kPrefix = "orlith.tabRecovery.v1.";

TEST(WorkspaceTabRecoveryStoreTest, GoldenKeys) {
  struct Case {
    const char* account;
    const char* digest;
  };
  const Case cases[] = {
      {" ALICE@Example.com\n", "ff8d9819fc0e12bf0d24892e45987e249a28dce836a85cad60e28eaaa8c6d976"},
      {"alice@example.com", "ff8d9819fc0e12bf0d24892e45987e249a28dce836a85cad60e28eaaa8c6d976"},
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

TEST(WorkspaceTabRecoveryStoreTest, SavedWindowLoadsBack) {
  FakePreferences defaults;
  auto store = WorkspaceTabRecoveryStore::make("alice@example.com", environment(), defaults);
  ASSERT_TRUE(store);
  store->save("e621e1f8-c36c-495a-93fc-0c247a3e6e5f",
              {url(app("/app")), url(app("/app/notes/1?q=x#top"))}, 1);
  const std::vector<WorkspaceTabRecoveryWindow> expected = {
      {"E621E1F8-C36C-495A-93FC-0C247A3E6E5F", {app("/app"), app("/app/notes/1")}, 1}};
  EXPECT_EQ(store->load(), expected);
}

}  // namespace
}  // namespace orlith
