// The session vault over a keyring that answers each way, and the keychain's write steps.
#include "session/SessionVault.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "FakeSecretStore.h"
#include "base/StartedTask.h"
#include "support/FakePreferences.h"
#include "support/ManualMainQueue.h"
#include "support/RunToCompletion.h"

namespace orlith {
namespace {

using testing::FakeSecretStore;
using Answer = FakeSecretStore::Answer;

const std::string kFlag(kExplicitlySignedOutKey);

StoredSession validSession() {
  StoredSession session;
  session.email = "a@orlith.test";
  session.cookie.name = "orlith_session";
  session.cookie.value = "abc";
  session.cookie.domain = "orlith.example";
  session.cookie.path = "/";
  session.cookie.isSecure = true;
  session.cookie.expiresAt = 1.0;  // long expired: the vault does not judge expiry
  return session;
}

class SessionVaultTest : public ::testing::Test {
 protected:
  template <class T>
  T run(Task<T> task) {
    return testing::runToCompletion(queue_, std::move(task));
  }

  testing::ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  std::shared_ptr<FakeSecretStore> store_ = std::make_shared<FakeSecretStore>();
  FakePreferences preferences_;
  SessionVault vault_{
      std::make_shared<SessionKeychain>(store_, SessionKeychain::serviceFor(std::nullopt)),
      preferences_};
};

TEST_F(SessionVaultTest, LoadMapsEachKeyringAnswerAndLeavesTheItemAsItIs) {
  StoredSession emptyValue = validSession();
  emptyValue.cookie.value = "";
  struct Case {
    const char* what;
    std::optional<std::string> item;
    Answer reads;
    SessionVaultLoadResult expected;
  };
  const Case cases[] = {
      {"no item", std::nullopt, Answer::normally, SessionVaultLoadResult::missing()},
      {"locked or refused", validSession().encode(), Answer::fails,
       SessionVaultLoadResult::unavailable()},
      {"not JSON", "{oops", Answer::normally, SessionVaultLoadResult::corrupt()},
      {"empty item", "", Answer::normally, SessionVaultLoadResult::corrupt()},
      {"no cookie", R"({"email":"a@orlith.test"})", Answer::normally,
       SessionVaultLoadResult::corrupt()},
      {"empty cookie value", emptyValue.encode(), Answer::normally,
       SessionVaultLoadResult::corrupt()},
      {"valid", validSession().encode(), Answer::normally,
       SessionVaultLoadResult::value(validSession())},
  };
  for (const auto& c : cases) {
    store_->setItem(c.item);
    store_->setReads(c.reads);
    EXPECT_EQ(run(vault_.load()), c.expected) << c.what;
    EXPECT_EQ(store_->item(), c.item) << c.what;
  }
  EXPECT_EQ(store_->calls().back(), "read com.tolvik.orlith.mac.session/current-session");
}

TEST_F(SessionVaultTest, SignOutFlagHidesTheItemUntilTheNextSave) {
  store_->setItem(validSession().encode());
  preferences_.setBoolean(kFlag, true);
  EXPECT_EQ(run(vault_.load()), SessionVaultLoadResult::missing());
  EXPECT_TRUE(store_->calls().empty()) << "the keyring is not read while signed out";

  EXPECT_TRUE(run(vault_.save(validSession())));
  EXPECT_EQ(preferences_.boolean(kFlag), false);
  EXPECT_EQ(run(vault_.load()), SessionVaultLoadResult::value(validSession()));
}

TEST_F(SessionVaultTest, FailedSaveKeepsTheSignOutFlag) {
  preferences_.setBoolean(kFlag, true);
  store_->setAdds(Answer::fails);
  EXPECT_FALSE(run(vault_.save(validSession())));
  EXPECT_EQ(preferences_.boolean(kFlag), true);

  StoredSession unencodable = validSession();
  unencodable.email = "\xff";
  const auto callsBefore = store_->calls().size();
  EXPECT_FALSE(run(vault_.save(unencodable)));
  EXPECT_EQ(store_->calls().size(), callsBefore) << "nothing reaches the keyring";
}

TEST_F(SessionVaultTest, SaveFailsWhenTheFlagCannotBeCleared) {
  // The item is written, but the next launch would still see the flag and restore nothing.
  preferences_.setBoolean(kFlag, true);
  preferences_.setFailWrites(true);
  EXPECT_FALSE(run(vault_.save(validSession())));
  EXPECT_EQ(preferences_.boolean(kFlag), true);
}

TEST_F(SessionVaultTest, ForgetAfterASaveStillInFlightLeavesNoSession) {
  StartedTask<bool> save(vault_.save(validSession()));
  StartedTask<void> forget(vault_.forget());
  while (!save.isDone() || !forget.isDone())
    ASSERT_TRUE(queue_.waitForWork(std::chrono::seconds(5)) && queue_.runOne());
  EXPECT_TRUE(save.takeResult());
  EXPECT_EQ(store_->item(), std::nullopt);
  EXPECT_EQ(run(vault_.load()), SessionVaultLoadResult::missing());
}

TEST_F(SessionVaultTest, PrefetchedReadServesOneLoadAndAWriteInBetweenDropsIt) {
  const std::string read = "read com.tolvik.orlith.mac.session/current-session";
  auto reads = [&] {
    const auto calls = store_->calls();
    return std::count(calls.begin(), calls.end(), read);
  };
  store_->setItem(validSession().encode());
  vault_.prefetch();
  vault_.prefetch();
  EXPECT_EQ(run(vault_.load()), SessionVaultLoadResult::value(validSession()));
  EXPECT_EQ(reads(), 1) << "one read serves the prefetch and the load";
  EXPECT_EQ(run(vault_.load()), SessionVaultLoadResult::value(validSession()));
  EXPECT_EQ(reads(), 2) << "a prefetched answer serves one load only";

  // A read started before a sign-out or a save is no answer for the load after it.
  vault_.prefetch();
  run(vault_.forget());
  EXPECT_EQ(run(vault_.load()), SessionVaultLoadResult::missing());
  StoredSession other = validSession();
  other.email = "b@orlith.test";
  const auto readsBefore = reads();
  vault_.prefetch();
  EXPECT_EQ(reads(), readsBefore) << "nothing is read while signed out";
  EXPECT_TRUE(run(vault_.save(other)));
  vault_.prefetch();
  EXPECT_TRUE(run(vault_.save(validSession())));
  EXPECT_EQ(run(vault_.load()), SessionVaultLoadResult::value(validSession()));
}

TEST(SessionKeychainTest, WriteUpdatesAddsAndRetriesAfterADuplicate) {
  const SecretItemKey key{"s", "a"};
  struct Case {
    const char* what;
    std::optional<std::string> item;
    Answer updates;
    Answer adds;
    bool written;
    std::vector<std::string> calls;
    std::optional<std::string> finalItem;
  };
  const Case cases[] = {
      {"no item: added",
       std::nullopt,
       Answer::normally,
       Answer::normally,
       true,
       {"update s/a", "add s/a"},
       "new"},
      {"existing: updated in place",
       "old",
       Answer::normally,
       Answer::normally,
       true,
       {"update s/a"},
       "new"},
      {"added meanwhile: one more update",
       std::nullopt,
       Answer::normally,
       Answer::duplicate,
       true,
       {"update s/a", "add s/a", "update s/a"},
       "new"},
      {"update refused", "old", Answer::fails, Answer::normally, false, {"update s/a"}, "old"},
      {"add refused",
       std::nullopt,
       Answer::normally,
       Answer::fails,
       false,
       {"update s/a", "add s/a"},
       std::nullopt},
  };
  for (const auto& c : cases) {
    FakeSecretStore store;
    store.setItem(c.item);
    store.setUpdates(c.updates);
    store.setAdds(c.adds);
    EXPECT_EQ(SessionKeychain::writeItem(store, key, "new"), c.written) << c.what;
    EXPECT_EQ(store.calls(), c.calls) << c.what;
    EXPECT_EQ(store.item(), c.finalItem) << c.what;
  }
}

TEST(SessionKeychainTest, ServiceIsTheBundleIdentifierWithSessionSuffix) {
  EXPECT_EQ(SessionKeychain::serviceFor(std::nullopt), "com.tolvik.orlith.mac.session");
  EXPECT_EQ(SessionKeychain::serviceFor("org.example.app"), "org.example.app.session");
}

}  // namespace
}  // namespace orlith
