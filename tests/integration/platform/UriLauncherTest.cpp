// The synchronous launcher against real GIO: a handler registered for a private scheme in this
// process's own XDG folders receives the exact address, and a scheme without one is refused.
#include <gmock/gmock.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/glib/UriLauncher.h"
#include "support/TemporaryDirectory.h"

namespace orlith {
namespace {

namespace fs = std::filesystem;

class UriLauncherTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TemporaryDirectory();
    const fs::path data = folder_->path() / "data";
    const fs::path config = folder_->path() / "config";
    fs::create_directories(data / "applications");
    fs::create_directories(config);
    const fs::path recorder = folder_->path() / "recorder.sh";
    std::ofstream(recorder) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '"
                            << (folder_->path() / "received").string() << "'\n";
    fs::permissions(recorder, fs::perms::owner_all);
    std::ofstream(data / "applications" / "orlith-test-recorder.desktop")
        << "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" << recorder.string()
        << " %u\nMimeType=x-scheme-handler/orlith-launcher-test;\nNoDisplay=true\n";
    std::ofstream(config / "mimeapps.list")
        << "[Default Applications]\nx-scheme-handler/orlith-launcher-test="
           "orlith-test-recorder.desktop\n";
    // Before GIO's first look at the folders in this process.
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  }
  static void TearDownTestSuite() { delete folder_; }

  static std::string waitForReceived() {
    const fs::path file = folder_->path() / "received";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      std::ifstream in(file);
      std::stringstream text;
      text << in.rdbuf();
      if (!text.str().empty() && text.str().back() == '\n')
        return text.str();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
  }

  static TemporaryDirectory* folder_;
};

TemporaryDirectory* UriLauncherTest::folder_ = nullptr;

TEST_F(UriLauncherTest, StartsTheDefaultHandlerWithTheExactAddress) {
  const std::string uri = "orlith-launcher-test://auth/start?state=A%20b&x=1";
  UriLauncher launcher;
  EXPECT_TRUE(launcher.open(uri));
  EXPECT_EQ(waitForReceived(), uri + "\n");
}

TEST_F(UriLauncherTest, ReportsASchemeWithoutHandler) {
  std::string error;
  EXPECT_FALSE(UriLauncher::launch("orlith-nobody-handles-this:thing", nullptr, &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(UriLauncherTest, AsksItsSourceForAContextAtEachOpen) {
  int asked = 0;
  UriLauncher launcher([&] {
    ++asked;
    return adoptObject(g_app_launch_context_new());
  });
  EXPECT_FALSE(launcher.open("orlith-nobody-handles-this:thing"));
  EXPECT_FALSE(launcher.open("orlith-nobody-handles-this:other"));
  EXPECT_EQ(asked, 2);
}

// Links reach the app as command-line arguments turned into files; the app's scheme must come
// through exactly as given (query, escapes, case).
TEST(CommandLineLinks, KeepTheAppsLinksVerbatim) {
  for (const char* link : {"orlith://billing/return", "orlith://auth/callback?token=Ab%2Fc+d",
                           "ORLITH://Auth/Callback?pending=x#y"}) {
    GObjectPtr<GFile> file(g_file_new_for_commandline_arg(link));
    GCharPtr uri(g_file_get_uri(file.get()));
    EXPECT_STREQ(uri.get(), link);
  }
}

}  // namespace
}  // namespace orlith
