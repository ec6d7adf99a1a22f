// Signing out takes the account's website data with it, on the real engine's data store: the
// next account's page finds nothing the first one stored, nor what its page wrote as it unloaded.
// The tabs' network session is the test's own, so its clear touches no other test's data.
#include <gtest/gtest.h>

#include "UiHarness.h"
#include "WorkspaceWindowFixture.h"
#include "support/TemporaryDirectory.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

class AccountDataClear : public testing::WorkspaceWindowFixture {
 protected:
  void TearDown() override {
    WorkspaceWindowFixture::TearDown();
    context_.reset();
  }

  WorkspaceNetworkSession& network() {
    if (!network_) {
      WorkspaceNetworkSession::Configuration configuration;
      configuration.dataDirectory = folder_.path() / "data";
      configuration.cacheDirectory = folder_.path() / "cache";
      configuration.pinnedCertificate = ORLITH_BINARY_DIR "/devcert/server.pem";
      configuration.pinnedHosts = {"127.0.0.1"};
      network_ = std::make_unique<WorkspaceNetworkSession>(configuration);
    }
    return *network_;
  }

  // The selected tab's view once the window shows a ready workspace for the signed-in account.
  WebKitWebView* readyView(MainWindow& window) {
    std::shared_ptr<WorkspaceModel> tab;
    testing::spinUntil(
        [&] {
          tab = window.workspace() ? window.tabs()->selectedTab() : nullptr;
          return tab && window.workspace()->surfaces().container(tab->id()) && tab->isReady();
        },
        60s);
    return tab && tab->isReady() ? webViewOf(window, tab) : nullptr;
  }

  TemporaryDirectory folder_;
  std::unique_ptr<WorkspaceNetworkSession> network_;
};

TEST_F(AccountDataClear, TheNextAccountFindsNoneOfTheSignedOutAccountsData) {
  context_ = makeProductionApplicationContext(environment(), network(), keychainService_);
  testing::awaitOnLoop(context_->sessionStore().restoreStoredSession());
  signIn(testing::kDemoAccount);
  MainWindow::Options options;
  options.openWindow = [] {};
  windows_.push_back(
      std::make_unique<WindowHolder>(new MainWindow(*context_, network(), std::move(options))));
  MainWindow& window = *windows_.back()->window;
  testing::presentAndWait(GTK_WINDOW(window.gobj()));

  WebKitWebView* view = readyView(window);
  ASSERT_TRUE(view);
  testing::evaluate(view, R"js(
    localStorage.setItem('draft', 'first account');
    addEventListener('pagehide', () => localStorage.setItem('left', 'first account'));
    const opening = indexedDB.open('drafts', 1);
    opening.onupgradeneeded = () => opening.result.createObjectStore('d');
    opening.onsuccess = () => {
      const writing = opening.result.transaction('d', 'readwrite');
      writing.objectStore('d').put('first account', 'k');
      writing.oncomplete = () => { opening.result.close(); window.__stored = true; };
    };
    true)js");
  ASSERT_TRUE(testing::waitFor(view, "window.__stored === true"));

  context_->sessionStore().signOut();
  ASSERT_TRUE(testing::spinUntil([&] { return window.signInView() != nullptr; }, 10s));
  signIn(testing::kTwoFactorAccount);

  view = readyView(window);
  ASSERT_TRUE(view);
  testing::evaluate(view,
                    "indexedDB.databases().then(list => window.__databases = list.map(d => "
                    "d.name)); true");
  ASSERT_TRUE(testing::waitFor(view, "Array.isArray(window.__databases)"));
  EXPECT_EQ(testing::evaluate(view, "localStorage.getItem('draft')"), json());
  EXPECT_EQ(testing::evaluate(view, "localStorage.getItem('left')"), json());
  EXPECT_EQ(testing::evaluate(view, "window.__databases"), json::array());
}

}  // namespace
}  // namespace orlith
