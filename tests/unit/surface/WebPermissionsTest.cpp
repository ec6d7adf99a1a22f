// Script dialogs, printing and the microphone: only the service's own main frame, and only where
// the frame guard makes a request's frame known.
#include "workspace/surface/WebPermissions.h"

#include <gtest/gtest.h>

#include "support/FakePreferences.h"
#include "unit/surface/SurfaceEnvironments.h"

namespace orlith {
namespace {

using testing::productionEnvironment;

PageFacts page(const char* uri, FrameGuard guard = FrameGuard::present, bool dismantled = false) {
  return {uri ? std::optional<std::string>(uri) : std::nullopt, guard, dismantled};
}

const char* kService = "https://orlith.example/app/x";

TEST(WebPermissionsTest, DialogsShowOnlyForTheServicesMainFrameAndNeverForLeaving) {
  const struct {
    const char* name;
    ScriptDialogKind kind;
    PageFacts page;
    ScriptDialogDecision expected;
  } cases[] = {
      {"serviceConfirm", ScriptDialogKind::confirm, page(kService), ScriptDialogDecision::show},
      {"servicePrompt", ScriptDialogKind::prompt, page(kService), ScriptDialogDecision::show},
      {"wwwAlert", ScriptDialogKind::alert, page("https://www.orlith.example/share/1"),
       ScriptDialogDecision::show},
      {"leaving", ScriptDialogKind::beforeUnload, page(kService),
       ScriptDialogDecision::answerInertly},
      {"foreignMainFrame", ScriptDialogKind::prompt, page("https://example.com/"),
       ScriptDialogDecision::answerInertly},
      {"lookalikeHost", ScriptDialogKind::prompt, page("https://orlith.example.evil.com/"),
       ScriptDialogDecision::answerInertly},
      {"noGuard", ScriptDialogKind::confirm, page(kService, FrameGuard::absent),
       ScriptDialogDecision::answerInertly},
      {"noPage", ScriptDialogKind::alert, page(nullptr), ScriptDialogDecision::answerInertly},
      {"dismantled", ScriptDialogKind::alert, page(kService, FrameGuard::present, true),
       ScriptDialogDecision::answerInertly},
  };
  for (const auto& item : cases) {
    EXPECT_EQ(WebPermissions::decideScriptDialog(item.kind, item.page, productionEnvironment()),
              item.expected)
        << item.name;
  }
  EXPECT_TRUE(WebPermissions::allowsPrint(page(kService), productionEnvironment()));
  EXPECT_FALSE(WebPermissions::allowsPrint(page("https://example.com/"), productionEnvironment()));
  EXPECT_FALSE(
      WebPermissions::allowsPrint(page(kService, FrameGuard::absent), productionEnvironment()));
}

TEST(WebPermissionsTest, MicrophoneIsAskedOnceThenTheRememberedAnswerHolds) {
  FakePreferences preferences;
  const MediaCaptureRequest microphone{true, false, false};
  auto decide = [&](const MediaCaptureRequest& request, const PageFacts& facts) {
    return WebPermissions::decideMediaCapture(request, facts, productionEnvironment(), preferences);
  };
  EXPECT_EQ(decide(microphone, page(kService)), MediaCaptureDecision::ask);
  for (const MediaCaptureRequest& other :
       {MediaCaptureRequest{true, true, false}, MediaCaptureRequest{false, true, false},
        MediaCaptureRequest{true, false, true}, MediaCaptureRequest{false, false, false}})
    EXPECT_EQ(decide(other, page(kService)), MediaCaptureDecision::deny) << "the microphone alone";
  EXPECT_EQ(decide(microphone, page("https://example.com/")), MediaCaptureDecision::deny);
  EXPECT_EQ(decide(microphone, page(kService, FrameGuard::absent)), MediaCaptureDecision::deny);

  ASSERT_TRUE(WebPermissions::rememberMicrophoneAnswer(preferences, true));
  EXPECT_EQ(preferences.boolean("orlith.microphoneAllowed"), true);
  EXPECT_EQ(decide(microphone, page(kService)), MediaCaptureDecision::grant);
  EXPECT_EQ(decide(microphone, page("https://example.com/")), MediaCaptureDecision::deny)
      << "an answer for the service is no answer for another site";
  ASSERT_TRUE(WebPermissions::rememberMicrophoneAnswer(preferences, false));
  EXPECT_EQ(decide(microphone, page(kService)), MediaCaptureDecision::deny);

  preferences.setFailWrites(true);
  EXPECT_FALSE(WebPermissions::rememberMicrophoneAnswer(preferences, true));
  EXPECT_EQ(decide(microphone, page(kService)), MediaCaptureDecision::deny);
}

}  // namespace
}  // namespace orlith
