// Start-up rules of the application: the launch work once, the update client at every
// appearance, the appearance applied at every appearance and every change of the choice.
#include <gmock/gmock.h>

#include "app/OrlithMacApp.h"
#include "unit/session/SessionStoreFixture.h"

namespace orlith::testing {
namespace {

using ::testing::ElementsAre;

class FakeAppearanceEnvironment final : public AppearanceEnvironment {
 public:
  bool systemIsDark() const override { return false; }
  void setAppAppearance(AppAppearance appearance) override {
    applied.push_back(appearance);
    current = appearance;
  }
  AppAppearance appAppearance() const override { return current; }
  AppAppearance current = AppAppearance::system;
  std::vector<AppAppearance> applied;
};

class OrlithMacAppTest : public SessionStoreFixture {
 protected:
  OrlithMacAppTest() { preferences_.setBoolean(std::string(DesktopDiagnostics::kOptInKey), true); }

  FakeAppearanceEnvironment environment_;
  AppearanceSettings appearance_{preferences_, environment_};
  std::shared_ptr<FakeHttpTransport> diagnosticsTransport_ = std::make_shared<FakeHttpTransport>();
  DesktopDiagnostics diagnostics_{exampleEnvironment(), preferences_, *diagnosticsTransport_,
                                  "2.3"};
  NoUpdateClient updates_;
  OrlithMacApp app_{{*store_, appearance_, preferences_, diagnostics_, updates_}};
};

TEST_F(OrlithMacAppTest, RunsTheLaunchWorkOnceAndStartsUpdatesAtEveryAppearance) {
  secrets_->setItem(storedSession("a@b", "v1").encode());
  app_.handleWindowAppear();
  EXPECT_TRUE(store_->didBootstrap());
  EXPECT_TRUE(updates_.isStarted());
  settle();
  EXPECT_TRUE(store_->state().isAuthenticated());
  app_.handleWindowAppear();
  settle();
  std::size_t started = 0;
  for (const auto& sent : diagnosticsTransport_->sent)
    started += sent.request.body.value_or("").find("app_started") != std::string::npos;
  EXPECT_EQ(started, 1u);
  EXPECT_EQ(environment_.applied.size(), 2u);
}

TEST_F(OrlithMacAppTest, MapsTheStoredAppearance) {
  const std::pair<const char*, AppAppearance> cases[] = {
      {"system", AppAppearance::system}, {"light", AppAppearance::light},
      {"dark", AppAppearance::dark},     {"", AppAppearance::system},
      {"Dark", AppAppearance::system},
  };
  for (const auto& [raw, expected] : cases) {
    EXPECT_EQ(OrlithMacApp::applicationAppearance(raw), expected) << raw;
    preferences_.setString(std::string(AppearanceSettings::kPreferenceKey), raw);
    // Applied at once, by whatever writer, with no window involved.
    EXPECT_EQ(environment_.appAppearance(), expected) << raw;
  }
}

TEST(OrlithMacApp, AcceptsOnlyItsOwnBundleIdentifier) {
  EXPECT_TRUE(OrlithMacApp::isBundleIdentifierConsistent("com.tolvik.orlith.mac"));
  EXPECT_TRUE(OrlithMacApp::isBundleIdentifierConsistent(std::nullopt));
  EXPECT_FALSE(OrlithMacApp::isBundleIdentifierConsistent("com.tolvik.orlith.other"));
}

}  // namespace
}  // namespace orlith::testing
