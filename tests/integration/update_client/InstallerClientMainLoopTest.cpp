// A package of the largest size goes to the installer without holding up the main loop: it is
// read and sent on workers while a 10 ms timer keeps its pace.
#include <fcntl.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "base/Clock.h"
#include "platform/glib/GlibMainQueue.h"
#include "platform/glib/GlibTaskRunner.h"
#include "support/TemporaryDirectory.h"
#include "update/client/UpdateInstallerClient.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

// Takes its time over the package, as a service reading 250 MB does.
class SlowConnection final : public UpdateInstallerConnection {
 public:
  UpdatePrepareReply prepare(std::string package, std::string, Timeout, CallEnd& end) override {
    received = package.size();
    std::this_thread::sleep_for(300ms);
    end = CallEnd::answered;
    return UpdatePrepareReply::success("token");
  }
  UpdatePrepareReply prepareCurrentApplication(Timeout, CallEnd& end) override {
    end = CallEnd::unanswered;
    return UpdatePrepareReply::unanswered();
  }
  UpdateCompletionReply install(std::string, Timeout, CallEnd& end) override {
    end = CallEnd::unanswered;
    return UpdateCompletionReply::unanswered();
  }
  UpdateCompletionReply cancel(std::string, Timeout, CallEnd& end) override {
    end = CallEnd::unanswered;
    return UpdateCompletionReply::unanswered();
  }
  bool isClosed() const override { return false; }
  void reapIfEnded() override {}

  std::atomic<std::size_t> received = 0;
};

class SlowConnector final : public UpdateInstallerConnector {
 public:
  explicit SlowConnector(std::shared_ptr<SlowConnection> connection)
      : connection_(std::move(connection)) {}
  std::shared_ptr<UpdateInstallerConnection> spawn() override { return connection_; }

 private:
  std::shared_ptr<SlowConnection> connection_;
};

TEST(InstallerClientMainLoopTest, TheLargestPackageLeavesA10MsTimerOnTime) {
  GlibMainQueue queue;
  MainQueue::Installation installation(queue);
  TemporaryDirectory tree;
  const auto package = tree.path() / "Orlith-1.1.0.zip";
  {
    // Real bytes, so the read is real work.
    const int fd = ::open(package.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    std::string block(1 << 20, 'z');
    for (int i = 0; i < 250; ++i)
      ASSERT_EQ(::write(fd, block.data(), block.size()), static_cast<ssize_t>(block.size()));
    ASSERT_EQ(::ftruncate(fd, 262'144'000), 0);
    ::close(fd);
  }
  auto connection = std::make_shared<SlowConnection>();
  SystemClock clock;
  auto client =
      std::make_shared<UpdateInstallerClient>(std::make_unique<SlowConnector>(connection), clock);

  struct Pace {
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration worst{};
    int ticks = 0;
  } pace;
  const guint timer = g_timeout_add(
      10,
      [](gpointer data) -> gboolean {
        auto* p = static_cast<Pace*>(data);
        const auto now = std::chrono::steady_clock::now();
        p->worst = std::max(p->worst, now - p->last);
        p->last = now;
        ++p->ticks;
        return G_SOURCE_CONTINUE;
      },
      &pace);
  const std::string token = runOnMainContext(client->prepare(
      package, {"1.1.0", *Url::parse("https://127.0.0.1/Orlith-1.1.0.zip"), "", "{}"}));
  g_source_remove(timer);
  EXPECT_EQ(token, "token");
  EXPECT_EQ(connection->received, 262'144'000u);
  EXPECT_GT(pace.ticks, 10);
  EXPECT_LT(pace.worst, 100ms) << "the main loop was held up";
}

}  // namespace
}  // namespace orlith
