// The session vault on a real Secret Service: a gnome-keyring daemon in the test's own D-Bus
// session. A missing daemon fails these tests rather than skipping them.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "base/Uuid.h"
#include "platform/glib/GObjectPtr.h"
#include "platform/secret/LibsecretSecretStore.h"
#include "session/SessionVault.h"
#include "support/FakePreferences.h"
#include "support/ManualMainQueue.h"
#include "support/RunToCompletion.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

constexpr const char* kServiceVariable = "ORLITH_TEST_KEYRING_SERVICE";
constexpr const char* kEmailVariable = "ORLITH_TEST_KEYRING_EMAIL";
constexpr const char* kSchemaName = "com.tolvik.orlith.mac";

StoredSession sessionFor(const std::string& email, const std::string& value) {
  StoredSession session;
  session.email = email;
  session.cookie.name = "orlith_session";
  session.cookie.value = value;
  session.cookie.domain = "127.0.0.1";
  session.cookie.path = "/";
  session.cookie.isSecure = true;
  session.cookie.expiresAt = 800'000'000.5;
  return session;
}

class SessionVaultKeyringTest : public ::testing::Test {
 protected:
  explicit SessionVaultKeyringTest(std::string service = "org.orlith.test." + makeRandomUuid() +
                                                         ".session")
      : service_(std::move(service)) {}

  template <class T>
  T run(Task<T> task) {
    // Longer than the keyring's own time-out, so that a stall shows as the vault's answer.
    return testing::runToCompletion(queue_, std::move(task), 90s);
  }

  std::string service_;
  testing::ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  std::shared_ptr<LibsecretSecretStore> store_ =
      std::make_shared<LibsecretSecretStore>(kSchemaName);
  std::shared_ptr<SessionKeychain> keychain_ = std::make_shared<SessionKeychain>(store_, service_);
  FakePreferences preferences_;
  SessionVault vault_{keychain_, preferences_};
};

// Runs one test of this program in a new process, with the given environment added.
int runChildTest(const std::string& filter, std::vector<std::string> environment) {
  const std::string program = std::filesystem::read_symlink("/proc/self/exe");
  const std::string filterFlag = "--gtest_filter=" + filter;
  const gchar* argv[] = {program.c_str(), filterFlag.c_str(), "--gtest_also_run_disabled_tests",
                         nullptr};
  gchar** envp = g_get_environ();
  for (const auto& entry : environment) {
    const auto equals = entry.find('=');
    envp = g_environ_setenv(envp, entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(),
                            TRUE);
  }
  gint status = -1;
  GError* rawError = nullptr;
  const gboolean spawned = g_spawn_sync(nullptr, const_cast<gchar**>(argv), envp, G_SPAWN_DEFAULT,
                                        nullptr, nullptr, nullptr, nullptr, &status, &rawError);
  GErrorPtr error(rawError);
  g_strfreev(envp);
  if (!spawned)
    return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SessionVaultKeyringTest, SavedSessionSurvivesARestartAndUpdatesInPlace) {
  ASSERT_EQ(run(vault_.load()), SessionVaultLoadResult::missing());
  ASSERT_TRUE(run(vault_.save(sessionFor("first@orlith.test", "one"))));
  EXPECT_EQ(run(vault_.load()),
            SessionVaultLoadResult::value(sessionFor("first@orlith.test", "one")));

  ASSERT_TRUE(run(vault_.save(sessionFor("second@orlith.test", "two"))));
  EXPECT_EQ(run(vault_.load()),
            SessionVaultLoadResult::value(sessionFor("second@orlith.test", "two")));
  EXPECT_EQ(runChildTest("SessionVaultKeyringChild.DISABLED_LoadsTheSavedSession",
                         {std::string(kServiceVariable) + "=" + service_,
                          std::string(kEmailVariable) + "=second@orlith.test"}),
            0)
      << "a new process loads what this one saved";

  run(vault_.forget());
  EXPECT_EQ(preferences_.boolean(std::string(kExplicitlySignedOutKey)), true);
  EXPECT_EQ(store_->read(keychain_->key()), SecretReadResult::missing());
  preferences_.setBoolean(std::string(kExplicitlySignedOutKey), false);
  EXPECT_EQ(run(vault_.load()), SessionVaultLoadResult::missing());
}

TEST_F(SessionVaultKeyringTest, CorruptItemIsReportedAndLeftUntouched) {
  ASSERT_EQ(store_->add(keychain_->key(), "{\"email\":\"no cookie\"}"), SecretAddStatus::added);
  EXPECT_EQ(run(vault_.load()), SessionVaultLoadResult::corrupt());
  EXPECT_EQ(store_->read(keychain_->key()), SecretReadResult::found("{\"email\":\"no cookie\"}"));
  EXPECT_EQ(store_->remove(keychain_->key()), SecretRemoveStatus::removed);
  EXPECT_EQ(store_->remove(keychain_->key()), SecretRemoveStatus::notFound);
}

// Started by the test above in a new process; finds nothing to do when run on its own.
TEST(SessionVaultKeyringChild, DISABLED_LoadsTheSavedSession) {
  const char* service = std::getenv(kServiceVariable);
  const char* email = std::getenv(kEmailVariable);
  ASSERT_TRUE(service && email);
  testing::ManualMainQueue queue;
  MainQueue::Installation installation(queue);
  FakePreferences preferences;
  SessionVault vault(std::make_shared<SessionKeychain>(
                         std::make_shared<LibsecretSecretStore>(kSchemaName), service),
                     preferences);
  const auto loaded = testing::runToCompletion(queue, vault.load(), 90s);
  ASSERT_EQ(loaded.kind, SessionVaultLoadResult::Kind::value);
  EXPECT_EQ(loaded.session->email, email);
}

// Started in a new process whose session bus does not exist.
TEST(SessionVaultKeyringChild, DISABLED_AnswersWithoutASecretService) {
  testing::ManualMainQueue queue;
  MainQueue::Installation installation(queue);
  FakePreferences preferences;
  SessionVault vault(
      std::make_shared<SessionKeychain>(std::make_shared<LibsecretSecretStore>(kSchemaName),
                                        "org.orlith.test.unreachable.session"),
      preferences);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(testing::runToCompletion(queue, vault.load(), 90s),
            SessionVaultLoadResult::unavailable());
  EXPECT_FALSE(testing::runToCompletion(queue, vault.save(sessionFor("a@orlith.test", "v")), 90s));
  EXPECT_LT(std::chrono::steady_clock::now() - started, LibsecretSecretStore::kDefaultTimeout * 2);
}

TEST(SessionVaultKeyringUnreachable, NoSecretServiceGivesUnavailableAndAFailedSave) {
  EXPECT_EQ(runChildTest("SessionVaultKeyringChild.DISABLED_AnswersWithoutASecretService",
                         {"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/orlith-bus"}),
            0);
}

}  // namespace
}  // namespace orlith
