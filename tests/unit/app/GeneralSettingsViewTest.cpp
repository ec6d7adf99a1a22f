// The settings' state: login item statuses, changes against a scripted login item, the error
// line and its clearing, diagnostics consent, the account section and the version line.
#include "app/GeneralSettingsView.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "app/LoginItem.h"
#include "base/BundleInfo.h"
#include "unit/app/AppFixture.h"

namespace orlith {
namespace {

// Registration as the test scripts it: the status each call leaves, or a refusal.
class ScriptedLoginItem final : public LoginItem {
 public:
  int status() const override { return current; }
  void registerItem() override {
    calls.push_back("register");
    if (refuse)
      throw LoginItemError("refused");
    current = afterRegister;
  }
  void unregisterItem() override {
    calls.push_back("unregister");
    if (refuse)
      throw LoginItemError("refused");
    current = 0;
  }

  int current = 0;
  int afterRegister = 1;
  bool refuse = false;
  std::vector<std::string> calls;
};

TEST(LoginItemState, FromStatus) {
  const std::pair<int, LoginItemState> cases[] = {
      {0, LoginItemState::notRegistered},    {1, LoginItemState::enabled},
      {2, LoginItemState::requiresApproval}, {3, LoginItemState::unavailable},
      {4, LoginItemState::unavailable},      {5, LoginItemState::unavailable},
      {-1, LoginItemState::unavailable}};
  for (const auto& [status, state] : cases)
    EXPECT_EQ(loginItemStateFromStatus(status), state) << status;
}

TEST(LoginItemState, SetEnabledCallsOnlyWhenNeededAndChecksTheOutcome) {
  struct Case {
    const char* name;
    int status;
    int afterRegister;
    bool refuse;
    bool enable;
    std::vector<std::string> calls;
    bool ok;
  } cases[] = {
      {"already on", 1, 1, false, true, {}, true},
      {"awaiting approval counts as on", 2, 1, false, true, {}, true},
      {"already off", 0, 1, false, false, {}, true},
      {"unavailable counts as off", 3, 1, false, false, {}, true},
      {"turn on", 0, 1, false, true, {"register"}, true},
      {"turn on, approval needed", 0, 2, false, true, {"register"}, true},
      {"registered but still off", 0, 0, false, true, {"register"}, false},
      {"refused", 0, 1, true, true, {"register"}, false},
      {"turn off", 1, 1, false, false, {"unregister"}, true},
      {"refused off", 2, 1, true, false, {"unregister"}, false},
  };
  for (const Case& c : cases) {
    ScriptedLoginItem item;
    item.current = c.status;
    item.afterRegister = c.afterRegister;
    item.refuse = c.refuse;
    EXPECT_EQ(setLoginItemEnabled(item, c.enable), c.ok) << c.name;
    EXPECT_EQ(item.calls, c.calls) << c.name;
  }
}

class GeneralSettingsViewTest : public ::testing::Test, protected testing::AppFixture {
 protected:
  // Jobs wait until the test runs them, as a worker would finish later.
  void runJobs() {
    auto jobs = std::move(pending);
    pending.clear();
    for (auto& job : jobs)
      job();
  }

  std::shared_ptr<ScriptedLoginItem> item = std::make_shared<ScriptedLoginItem>();
  std::vector<std::function<void()>> pending;
  int cancels = 0;
  std::shared_ptr<GeneralSettingsView> view = GeneralSettingsView::create(
      {session, preferences, appearance, item,
       [this](std::function<GeneralSettingsView::LoginItemResult()> job,
              std::function<void(GeneralSettingsView::LoginItemResult)> done) {
         pending.push_back([job, done] { done(job()); });
       },
       [this] { ++cancels; }});
};

TEST_F(GeneralSettingsViewTest, ToggleIsBusyUntilTheRealStateArrives) {
  view->loginItemToggleChanged(true);
  EXPECT_TRUE(view->loginItemBusy());
  EXPECT_FALSE(view->loginItemToggleOn());
  runJobs();
  EXPECT_FALSE(view->loginItemBusy());
  EXPECT_TRUE(view->loginItemToggleOn());
  EXPECT_FALSE(view->loginItemError());

  item->afterRegister = 2;
  item->current = 0;
  view->loginItemToggleChanged(true);
  runJobs();
  EXPECT_TRUE(view->loginItemToggleOn());
  EXPECT_TRUE(view->showsApprovalHint());
  EXPECT_FALSE(view->loginItemError());
}

TEST_F(GeneralSettingsViewTest, ARefusalShowsTheErrorUntilTheAppBecomesActive) {
  item->refuse = true;
  view->loginItemToggleChanged(true);
  runJobs();
  EXPECT_FALSE(view->loginItemToggleOn());
  EXPECT_EQ(view->loginItemError(),
            "Couldn't change launch at login. Check your autostart settings.");
  item->current = 1;  // changed elsewhere meanwhile
  view->applicationDidBecomeActive();
  runJobs();
  EXPECT_FALSE(view->loginItemError());
  EXPECT_EQ(view->loginItemState(), LoginItemState::enabled);

  item->refuse = true;
  view->loginItemToggleChanged(false);
  runJobs();
  ASSERT_TRUE(view->loginItemError());
  item->refuse = false;
  view->loginItemToggleChanged(false);
  runJobs();
  EXPECT_FALSE(view->loginItemError()) << "a later success clears it";
}

TEST_F(GeneralSettingsViewTest, AnUnknownStatusShowsOffWithNoHintOrError) {
  item->current = 7;
  view->refreshLoginItemState();
  runJobs();
  EXPECT_EQ(view->loginItemState(), LoginItemState::unavailable);
  EXPECT_FALSE(view->loginItemToggleOn());
  EXPECT_FALSE(view->showsApprovalHint());
  EXPECT_FALSE(view->loginItemError());
}

TEST_F(GeneralSettingsViewTest, WorkFinishingAfterTheSettingsAreGoneIsDropped) {
  view->loginItemToggleChanged(true);
  view.reset();
  runJobs();
  EXPECT_EQ(item->current, 1);
}

TEST_F(GeneralSettingsViewTest, DiagnosticsOffStopsEventsAndOnSendsNothing) {
  EXPECT_FALSE(view->diagnostics());
  view->diagnosticsChanged(true);
  EXPECT_EQ(preferences.boolean(GeneralSettingsView::kDiagnosticsKey), true);
  EXPECT_EQ(cancels, 0);
  view->diagnosticsChanged(false);
  EXPECT_EQ(preferences.boolean(GeneralSettingsView::kDiagnosticsKey), false);
  EXPECT_EQ(cancels, 1);
}

TEST_F(GeneralSettingsViewTest, AccountSectionFollowsTheSession) {
  using Section = GeneralSettingsView::AccountSection;
  struct Case {
    const char* name;
    SessionState state;
    std::optional<Section> section;
  } cases[] = {
      {"signed out", SessionState::unauthenticated(), std::nullopt},
      {"loading", SessionState::loading(), std::nullopt},
      {"no e-mail", SessionState::authenticated(std::nullopt), Section{}},
      {"empty e-mail", SessionState::authenticated(""), Section{}},
      {"e-mail", SessionState::authenticated("ada@example.com"), Section{"ada@example.com"}},
  };
  for (const Case& c : cases) {
    session.setState(c.state);
    EXPECT_EQ(view->accountSection(), c.section) << c.name;
  }
  view->signOut();
  EXPECT_EQ(session.signOuts, 1);
}

TEST_F(GeneralSettingsViewTest, AppearanceAndVersion) {
  view->setAppearance(OrlithAppearancePreference::dark);
  EXPECT_EQ(preferences.string("orlith.appearance"), "dark");
  EXPECT_EQ(view->appearance(), OrlithAppearancePreference::dark);
  EXPECT_EQ(desktop.current, AppAppearance::dark);
  EXPECT_EQ(
      GeneralSettingsView::versionLine(BundleInfo().appVersion(), BundleInfo().buildVersion()),
      "Version 1.0 (1)");
}

}  // namespace
}  // namespace orlith
