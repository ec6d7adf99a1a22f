// The main window on the real stack: the stand-in's /app page loads over HTTPS with the pinned
// development certificate, and the page's message reaches the native side.
#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include "UiHarness.h"
#include "app/gtk/MainWindow.h"
#include "support/StandinProcess.h"

namespace orlith {
namespace {

TEST(MainWindow, LoadsTheWorkspacePageAndReceivesItsMessage) {
  testing::StandinProcess standin(ORLITH_STANDIN_PATH, ORLITH_BINARY_DIR "/devcert");
  auto* window = new MainWindow(WorkspaceNetworkSession::shared(), standin.origin());
  int width = 0, height = 0;
  window->get_default_size(width, height);
  EXPECT_EQ(std::make_pair(width, height), std::make_pair(1180, 780));

  std::vector<nlohmann::json> messages;
  bool loaded = false;
  window->webView().scriptMessageReceived().connect(
      [&](const std::string& text) { messages.push_back(nlohmann::json::parse(text)); });
  window->webView().loadFinished().connect([&] { loaded = true; });
  window->present();

  // The title reaches the view on its own message, not always before the load finishes.
  auto* view = window->webView().webView();
  ASSERT_TRUE(testing::spinUntil(
      [&] { return loaded && !messages.empty() && webkit_web_view_get_title(view) != nullptr; },
      std::chrono::seconds(60)));
  EXPECT_EQ(messages.front().at("channel"), "orlith:standin-hello");
  EXPECT_EQ(messages.front().at("href"), standin.origin() + "/app");
  EXPECT_STREQ(webkit_web_view_get_title(window->webView().webView()), "Orlith Workspace");

  auto snapshot = testing::saveSnapshot(window->webView().webView(), "first-window");
  EXPECT_GT(std::filesystem::file_size(snapshot), 1000u);
  window->destroy();
  delete window;
}

}  // namespace
}  // namespace orlith
