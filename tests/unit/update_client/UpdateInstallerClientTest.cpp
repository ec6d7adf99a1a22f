// The installer client over a scripted connection: reply mapping, unanswered calls told apart
// from replies, the lost connection and its cancel rule, and the package size limit.
#include "update/client/UpdateInstallerClient.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <deque>
#include <mutex>

#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"
#include "support/RunToCompletion.h"
#include "support/TemporaryDirectory.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

struct Script {
  std::mutex mutex;
  std::deque<UpdatePrepareReply> prepares;
  std::deque<UpdateCompletionReply> completions;
  std::atomic<bool> closed = false;
  std::atomic<bool> refuseSpawn = false;
  std::atomic<bool> sendTimesOut = false;
  std::atomic<int> spawns = 0;
  std::atomic<int> reaps = 0;
  std::vector<std::string> calls;
  std::vector<std::chrono::milliseconds> timeouts;
  std::vector<std::size_t> packageSizes;
};

class ScriptedConnection final : public UpdateInstallerConnection {
 public:
  explicit ScriptedConnection(std::shared_ptr<Script> script) : script_(std::move(script)) {}

  UpdatePrepareReply prepare(std::string package, std::string, Timeout timeout,
                             CallEnd& end) override {
    const std::lock_guard lock(script_->mutex);
    script_->packageSizes.push_back(package.size());
    return nextPrepare("prepare", timeout, end);
  }
  UpdatePrepareReply prepareCurrentApplication(Timeout timeout, CallEnd& end) override {
    const std::lock_guard lock(script_->mutex);
    return nextPrepare("prepareCurrentApplication", timeout, end);
  }
  UpdateCompletionReply install(std::string token, Timeout timeout, CallEnd& end) override {
    const std::lock_guard lock(script_->mutex);
    return nextCompletion("install " + token, timeout, end);
  }
  UpdateCompletionReply cancel(std::string token, Timeout timeout, CallEnd& end) override {
    const std::lock_guard lock(script_->mutex);
    return nextCompletion("cancel " + token, timeout, end);
  }
  bool isClosed() const override { return script_->closed; }
  void reapIfEnded() override { ++script_->reaps; }

 private:
  UpdatePrepareReply nextPrepare(const std::string& call, Timeout timeout, CallEnd& end) {
    script_->calls.push_back(call);
    script_->timeouts.push_back(timeout);
    end = script_->sendTimesOut ? CallEnd::sendTimedOut : CallEnd::unanswered;
    if (script_->prepares.empty())
      return UpdatePrepareReply::unanswered();
    end = CallEnd::answered;
    auto reply = script_->prepares.front();
    script_->prepares.pop_front();
    return reply;
  }
  UpdateCompletionReply nextCompletion(const std::string& call, Timeout timeout, CallEnd& end) {
    script_->calls.push_back(call);
    script_->timeouts.push_back(timeout);
    end = script_->sendTimesOut ? CallEnd::sendTimedOut : CallEnd::unanswered;
    if (script_->completions.empty())
      return UpdateCompletionReply::unanswered();
    end = CallEnd::answered;
    auto reply = script_->completions.front();
    script_->completions.pop_front();
    return reply;
  }

  std::shared_ptr<Script> script_;
};

class ScriptedConnector final : public UpdateInstallerConnector {
 public:
  explicit ScriptedConnector(std::shared_ptr<Script> script) : script_(std::move(script)) {}
  std::shared_ptr<UpdateInstallerConnection> spawn() override {
    ++script_->spawns;
    if (script_->refuseSpawn)
      throw std::system_error(ENOENT, std::generic_category());
    return std::make_shared<ScriptedConnection>(script_);
  }

 private:
  std::shared_ptr<Script> script_;
};

class UpdateInstallerClientTest : public ::testing::Test {
 public:
  std::shared_ptr<UpdateInstallerClient> makeClient(std::uint64_t limit = 1000) {
    return std::make_shared<UpdateInstallerClient>(std::make_unique<ScriptedConnector>(script_),
                                                   time_, limit);
  }

  std::filesystem::path packageOf(std::uint64_t size) {
    const auto file = tree_.path() / ("package-" + std::to_string(size) + ".zip");
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    // Sparse: the size is what matters, not the bytes.
    EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    ::close(fd);
    return file;
  }

  // "token <t>" or "done" on success, else the failure's text.
  std::string outcome(Task<std::string> task) {
    try {
      // A 250 MB package crosses the channel on workers: a loaded or sanitized build is slow at it.
      return "token " + testing::runToCompletion(queue_, std::move(task), std::chrono::seconds(60));
    } catch (const UpdateFailure& failure) {
      return describe(failure);
    }
  }
  std::string outcome(Task<void> task) {
    try {
      testing::runToCompletion(queue_, std::move(task));
      return "done";
    } catch (const UpdateFailure& failure) {
      return describe(failure);
    }
  }
  static std::string describe(const UpdateFailure& failure) {
    return failure.message() + (failure.requiresManualInstallation() ? " [manual]" : "");
  }

  testing::ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  testing::ManualTime time_;
  TemporaryDirectory tree_;
  std::shared_ptr<Script> script_ = std::make_shared<Script>();
};

VerifiedUpdateRelease release() {
  return {"1.1.0", *Url::parse("https://127.0.0.1/Orlith-1.1.0.zip"), std::string(64, 'a'), "{}"};
}

TEST_F(UpdateInstallerClientTest, PrepareRepliesMapToTokensOrFailures) {
  const auto timedOut = std::string(UpdateInstallerClient::kTimedOut);
  const auto interrupted = std::string(UpdateInstallerClient::kInterrupted);
  const struct {
    const char* name;
    std::optional<UpdatePrepareReply> reply;  // none: unanswered
    bool closed;
    std::string expected;           // for prepare with a package
    std::string expectedOfCurrent;  // for prepareCurrentApplication
  } cases[] = {
      {"token", UpdatePrepareReply::success("t-1"), false, "token t-1", "token t-1"},
      {"empty token", UpdatePrepareReply::success(""), false, "token ", "token "},
      {"token with an error", UpdatePrepareReply{"t-2", "ignored", false}, false, "token t-2",
       "token t-2"},
      {"error", UpdatePrepareReply{std::nullopt, "Not newer.", false}, false, "Not newer.",
       "Not newer."},
      {"nothing but a reply", UpdatePrepareReply{std::nullopt, std::nullopt, false}, false,
       "The update package could not be verified.",
       "Couldn\u2019t prepare installation. Please try again."},
      {"manual flag only", UpdatePrepareReply{std::nullopt, std::nullopt, true}, false,
       "The update package could not be verified. [manual]",
       "Couldn\u2019t prepare installation. Please try again. [manual]"},
      {"unanswered, open", std::nullopt, false, timedOut, timedOut},
      {"unanswered, closed", std::nullopt, true, interrupted, interrupted},
  };
  for (const auto& c : cases) {
    for (bool current : {false, true}) {
      script_ = std::make_shared<Script>();
      if (c.reply)
        script_->prepares.push_back(*c.reply);
      script_->closed = c.closed;
      auto client = makeClient();
      const std::string got = current ? outcome(client->prepareCurrentApplication())
                                      : outcome(client->prepare(packageOf(10), release()));
      EXPECT_EQ(got, current ? c.expectedOfCurrent : c.expected) << c.name;
      EXPECT_EQ(script_->timeouts.at(0), 240s) << c.name;
    }
  }
}

TEST_F(UpdateInstallerClientTest, InstallAndCancelRepliesAndTheirTimeouts) {
  auto client = makeClient();
  script_->completions = {
      UpdateCompletionReply::success(), UpdateCompletionReply{false, "Expired."},
      UpdateCompletionReply{true, std::nullopt}, UpdateCompletionReply{false, "No."}};
  EXPECT_EQ(outcome(client->install("t")), "done");
  EXPECT_EQ(outcome(client->install("t")), "Expired.");
  EXPECT_TRUE(testing::runToCompletion(queue_, client->cancel("t")));
  EXPECT_FALSE(testing::runToCompletion(queue_, client->cancel("t")));
  // No reply at all: the install timed out, the cancel answers false.
  EXPECT_EQ((outcome(client->install("t"))), UpdateInstallerClient::kTimedOut);
  EXPECT_FALSE(testing::runToCompletion(queue_, client->cancel("t")));
  EXPECT_EQ(script_->timeouts,
            (std::vector<std::chrono::milliseconds>{300s, 300s, 15s, 15s, 300s, 15s}));
  EXPECT_EQ(script_->spawns, 1);
}

TEST_F(UpdateInstallerClientTest, ASendTheServiceDidNotTakeIsATimeOutThatEndsTheConnection) {
  auto client = makeClient();
  script_->sendTimesOut = true;
  script_->closed = true;
  EXPECT_EQ(outcome(client->prepare(packageOf(10), release())), UpdateInstallerClient::kTimedOut);
  EXPECT_TRUE(client->lostConnection());
  EXPECT_EQ(outcome(client->prepare(packageOf(10), release())),
            UpdateInstallerClient::kUnavailable);
}

TEST_F(UpdateInstallerClientTest, ARefusedSpawnLosesTheClientForGood) {
  script_->refuseSpawn = true;
  auto client = makeClient();
  EXPECT_EQ((outcome(client->prepareCurrentApplication())), UpdateInstallerClient::kCouldNotStart);
  EXPECT_TRUE(client->lostConnection());
  EXPECT_EQ((outcome(client->prepareCurrentApplication())), UpdateInstallerClient::kUnavailable);
  EXPECT_EQ((outcome(client->install("t"))), UpdateInstallerClient::kDisconnected);
  // Nothing was ever installed on it: its token is dead, so the cancel may count as done.
  EXPECT_TRUE(testing::runToCompletion(queue_, client->cancel("t")));
  EXPECT_EQ(script_->spawns, 1);
}

TEST_F(UpdateInstallerClientTest, AfterAnInstallALostConnectionCancelsOnlyOnceNothingCanCommit) {
  auto client = makeClient();
  script_->completions = {UpdateCompletionReply::success()};
  outcome(client->install("t"));
  script_->closed = true;
  EXPECT_EQ((outcome(client->install("t"))), UpdateInstallerClient::kDisconnected);
  EXPECT_EQ(script_->reaps, 1);
  time_.advance(UpdateInstallerClient::kLostCommitWindow - 1ms);
  EXPECT_FALSE(testing::runToCompletion(queue_, client->cancel("t")));
  time_.advance(1ms);
  EXPECT_TRUE(testing::runToCompletion(queue_, client->cancel("t")));
  EXPECT_EQ(script_->calls, std::vector<std::string>{"install t"});
}

TEST_F(UpdateInstallerClientTest, PackageAtTheLimitIsSentAndOneByteMoreIsRefusedUnsent) {
  auto client = makeClient(262'144'000);
  script_->prepares.push_back(UpdatePrepareReply::success("t"));
  EXPECT_EQ((outcome(client->prepare(packageOf(262'144'000), release()))), "token t");
  EXPECT_EQ((outcome(client->prepare(packageOf(262'144'001), release()))),
            UpdateInstallerClient::kUnavailable);
  EXPECT_EQ(script_->packageSizes, std::vector<std::size_t>{262'144'000});
  // A package that cannot be read passes its own error, before anything is sent.
  EXPECT_THROW(testing::runToCompletion(queue_, client->prepare(tree_.path() / "gone", release())),
               std::system_error);
}

}  // namespace
}  // namespace orlith
