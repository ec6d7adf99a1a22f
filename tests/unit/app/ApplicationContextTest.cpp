// The application context hands windows and tabs the process's single instances: each tab's
// services carry diagnostics and, while there is a session, the cookie bootstrap.
#include "app/ApplicationContext.h"

#include <gtest/gtest.h>

#include "unit/session/SessionStoreFixture.h"

namespace orlith {
namespace {

class ApplicationContextTest : public testing::SessionStoreFixture {
 protected:
  std::unique_ptr<ApplicationContext> makeContext() {
    return std::make_unique<ApplicationContext>(ApplicationContext::Dependencies{
        testing::exampleEnvironment(), *time_, *time_, *ids_, preferences_, appearance_, store_,
        std::make_shared<SessionCookieCoordinator>(testing::exampleHosts(), time_), webCookies_,
        std::make_unique<DesktopDiagnostics>(testing::exampleEnvironment(), preferences_,
                                             *transport_, "2.3"),
        nullptr, [this](const std::string& uri) { opened_.push_back(uri); }});
  }

  class LightEnvironment final : public AppearanceEnvironment {
   public:
    bool systemIsDark() const override { return false; }
    void setAppAppearance(AppAppearance appearance) override { appearance_ = appearance; }
    AppAppearance appAppearance() const override { return appearance_; }

   private:
    AppAppearance appearance_ = AppAppearance::system;
  };

  LightEnvironment environment_;
  AppearanceSettings appearance_{preferences_, environment_};
  std::vector<std::string> opened_;
};

TEST_F(ApplicationContextTest, TabsGetTheCookieBootstrapOnlyWithASession) {
  auto context = makeContext();
  SurfaceServices signedOut = context->surfaceServices();
  EXPECT_FALSE(signedOut.installSessionCookie);
  ASSERT_TRUE(signedOut.sendDiagnostics);
  signedOut.sendDiagnostics("app_ready", {});  // not opted in: nothing is sent
  settle();
  EXPECT_TRUE(transport_->sent.empty());
  signedOut.openExternally("https://example.invalid/");
  EXPECT_EQ(opened_, std::vector<std::string>{"https://example.invalid/"});

  store_->activate(storedSession("a@orlith.example", "cookie-1"));
  SurfaceServices signedIn = context->surfaceServices();
  ASSERT_TRUE(signedIn.installSessionCookie);
  run(signedIn.installSessionCookie({}));
  settle();
  ASSERT_EQ(webCookies_->cookies.size(), 1u);
  EXPECT_EQ(webCookies_->cookies[0].value, "cookie-1");
}

TEST_F(ApplicationContextTest, WindowsShareTheProcessInstancesAndFollowTheSession) {
  auto context = makeContext();
  WorkspaceWindowServices first = context->windowServices();
  WorkspaceWindowServices second = context->windowServices();
  EXPECT_EQ(&first.hub, &second.hub);
  EXPECT_EQ(&first.claimedWindows, &second.claimedWindows);
  EXPECT_EQ(&first.pendingWindowCommands, &second.pendingWindowCommands);
  EXPECT_EQ(&first.preferences, &preferences_);
  EXPECT_EQ(first.session, second.session);
  EXPECT_FALSE(context->updates().isInstallerBundled());

  int changes = 0;
  ScopedConnection connection = first.session->changed().connect([&] { ++changes; });
  store_->activate(storedSession("a@orlith.example", "cookie-2"));
  EXPECT_GT(changes, 0);
  EXPECT_TRUE(first.session->state().isAuthenticated());
  EXPECT_EQ(first.session->sessionRevision(), store_->sessionRevision());
}

}  // namespace
}  // namespace orlith
