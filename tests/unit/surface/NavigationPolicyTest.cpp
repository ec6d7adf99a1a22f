// Navigation, response, new-window and download decisions of a tab.
#include "workspace/surface/NavigationPolicy.h"

#include <gtest/gtest.h>

#include "unit/surface/SurfaceEnvironments.h"

namespace orlith {
namespace {

using testing::productionEnvironment;

constexpr auto kLink = NavigationType::linkActivated;
constexpr auto kOther = NavigationType::other;

const NavigationOutcome kAllow{PolicyDecision::allow, std::nullopt, std::nullopt};
const NavigationOutcome kCancel{PolicyDecision::cancel, std::nullopt, std::nullopt};
const NavigationOutcome kDownload{PolicyDecision::download, std::nullopt, std::nullopt};

NavigationOutcome opens(const char* uri) {
  return {PolicyDecision::cancel, std::string(uri), std::nullopt};
}

NavigationOutcome ends(std::string_view reason) {
  return {PolicyDecision::cancel, std::nullopt, reason};
}

ActionFrameFacts mainFrame() {
  return {FrameKind::main, true, SecurityOrigin{"https", "orlith.example", 0}, false};
}

ActionFrameFacts subFrame(bool sourceIsMain = false) {
  return {FrameKind::sub, sourceIsMain, SecurityOrigin{"https", "orlith.example", 0}, false};
}

ActionFrameFacts downloadFrom(const char* host) {
  return {FrameKind::main, true, SecurityOrigin{"https", host, 0}, true};
}

struct ActionCase {
  const char* name;
  NavigationActionFacts facts;
  NavigationOutcome expected;
};

class ActionWithFramesTest : public ::testing::TestWithParam<ActionCase> {};

TEST_P(ActionWithFramesTest, DecidesFromTargetAndSourceFrames) {
  NavigationPolicy policy(productionEnvironment());
  EXPECT_EQ(policy.decideAction(GetParam().facts, Dismantled::no), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    KnownFrames, ActionWithFramesTest,
    ::testing::Values(
        ActionCase{"appPage", {"https://orlith.example/app/x", kLink, true, mainFrame()}, kAllow},
        ActionCase{"noUrl", {"", kOther, false, mainFrame()}, kAllow},
        ActionCase{"redirectToLogin",
                   {"https://orlith.example/login", kOther, false, mainFrame()},
                   ends("auth_redirect")},
        ActionCase{"wwwSignupRedirect",
                   {"https://www.orlith.example/signup/x", kOther, false, mainFrame()},
                   ends("auth_redirect")},
        ActionCase{"linkToSignup",
                   {"https://orlith.example/signup/x", kLink, true, mainFrame()},
                   opens("https://orlith.example/signup/x")},
        ActionCase{"loginLookalikeIsForeignPage",
                   {"https://orlith.example/loginx", kOther, false, mainFrame()},
                   opens("https://orlith.example/loginx")},
        ActionCase{"foreignLinkInMainFrame",
                   {"https://example.com/a", kLink, true, mainFrame()},
                   opens("https://example.com/a")},
        ActionCase{"foreignInSubframe", {"https://example.com/a", kLink, true, subFrame()}, kAllow},
        ActionCase{"noTargetFrame",
                   {"https://example.com/a", kLink, true,
                    ActionFrameFacts{std::nullopt, true, std::nullopt, false}},
                   kAllow},
        ActionCase{"mailtoFromMainFrame",
                   {"mailto:a@b.c", kLink, true, mainFrame()},
                   opens("mailto:a@b.c")},
        ActionCase{
            "mailtoFromMainFrameScript", {"mailto:a@b.c", kLink, false, mainFrame()}, kCancel},
        ActionCase{"mailtoFromSubframeSource",
                   {"mailto:a@b.c", kLink, true,
                    ActionFrameFacts{FrameKind::main, false, std::nullopt, false}},
                   kCancel},
        ActionCase{"aboutInSubframe", {"about:blank", kOther, false, subFrame()}, kAllow},
        ActionCase{"dataInSubframe", {"data:text/html,x", kOther, false, subFrame()}, kAllow},
        ActionCase{"aboutInMainFrame", {"about:blank", kOther, false, mainFrame()}, kCancel},
        ActionCase{"dataInMainFrame", {"data:text/html,x", kOther, false, mainFrame()}, kCancel},
        ActionCase{"customSchemeInSubframe", {"zoommtg://x", kOther, false, subFrame()}, kCancel},
        ActionCase{
            "serviceBlobDownload",
            {"blob:https://orlith.example/5f1c", kLink, true, downloadFrom("orlith.example")},
            kDownload},
        ActionCase{"foreignBlobDownloadFallsThrough",
                   {"blob:https://example.com/5f1c", kLink, true, downloadFrom("orlith.example")},
                   kCancel},
        ActionCase{"downloadFromForeignSource",
                   {"blob:https://orlith.example/5f1c", kLink, true, downloadFrom("example.com")},
                   kCancel},
        ActionCase{"dataDownload",
                   {"data:text/plain,x", kLink, true, downloadFrom("orlith.example")},
                   kDownload},
        ActionCase{"serviceFileDownload",
                   {"https://orlith.example/files/1", kLink, true, downloadFrom("orlith.example")},
                   kDownload},
        ActionCase{"foreignFileDownloadFallsThrough",
                   {"https://example.com/f", kLink, true, downloadFrom("orlith.example")},
                   opens("https://example.com/f")}),
    [](const auto& info) { return std::string(info.param.name); });

class ActionWithoutFramesTest : public ::testing::TestWithParam<ActionCase> {};

TEST_P(ActionWithoutFramesTest, LoadsWebAddressesForTheResponseToJudgeAndOpensNothing) {
  NavigationPolicy policy(productionEnvironment());
  EXPECT_EQ(policy.decideAction(GetParam().facts, Dismantled::no), GetParam().expected);
}

// A click in a subframe and one in the main frame look alike here: nothing may leave the app.
INSTANTIATE_TEST_SUITE_P(
    UnknownFrames, ActionWithoutFramesTest,
    ::testing::Values(
        ActionCase{
            "clickOnAppPage", {"https://orlith.example/app/y", kLink, true, std::nullopt}, kAllow},
        ActionCase{
            "clickOnSignIn", {"https://orlith.example/login", kLink, true, std::nullopt}, kAllow},
        ActionCase{
            "clickOnForeign", {"https://example.invalid/x", kLink, true, std::nullopt}, kAllow},
        ActionCase{"redirectToLogin",
                   {"https://orlith.example/login", kOther, false, std::nullopt},
                   kAllow},
        ActionCase{
            "unparsableHttp", {"https://orlith.example/a b", kLink, true, std::nullopt}, kCancel},
        ActionCase{
            "serviceBlob", {"blob:https://orlith.example/5f1c", kLink, true, std::nullopt}, kAllow},
        ActionCase{
            "foreignBlob", {"blob:https://example.com/5f1c", kLink, false, std::nullopt}, kAllow},
        ActionCase{"data", {"data:text/plain,x", kOther, false, std::nullopt}, kAllow},
        ActionCase{"about", {"about:blank", kOther, false, std::nullopt}, kAllow},
        ActionCase{"mailtoWithGesture", {"mailto:a@b.c", kLink, true, std::nullopt}, kCancel},
        ActionCase{"telByScript", {"tel:+123", kOther, false, std::nullopt}, kCancel},
        ActionCase{"facetimeWithGesture", {"FaceTime:x@y.z", kLink, true, std::nullopt}, kCancel},
        ActionCase{"javascript", {"javascript:alert(1)", kLink, true, std::nullopt}, kCancel},
        ActionCase{"file", {"file:///etc/passwd", kLink, true, std::nullopt}, kCancel}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NavigationPolicyTest, DismantledCancelsEverythingAndOpensNothing) {
  NavigationPolicy policy(productionEnvironment());
  EXPECT_EQ(policy.decideAction({"https://orlith.example/app", kLink, true, mainFrame()},
                                Dismantled::yes),
            kCancel);
  EXPECT_EQ(policy.decideAction({"mailto:a@b.c", kLink, true, std::nullopt}, Dismantled::yes),
            kCancel);
  EXPECT_EQ(policy.decideAction({"", kOther, false, std::nullopt}, Dismantled::yes), kCancel);
  EXPECT_EQ(policy.decideResponse({"https://orlith.example/app", true, true, true, 200, false},
                                  ActionFrameFactsKnown::no, Dismantled::yes),
            kCancel);
  EXPECT_EQ(policy.decideNewWindow("https://example.com/", FreshUserInput::yes, Dismantled::yes),
            NewWindowOutcome{});
  EXPECT_FALSE(policy.admitDownload(
      {"https://orlith.example/f", "https://orlith.example/app", true}, Dismantled::yes));
}

struct ResponseCase {
  const char* name;
  NavigationResponseFacts facts;
  NavigationOutcome withFrames;
  NavigationOutcome withoutFrames;
};

class ResponseTest : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(ResponseTest, EndsSessionOnBare401AndJudgesMainFrameWhenActionCouldNot) {
  NavigationPolicy policy(productionEnvironment());
  EXPECT_EQ(policy.decideResponse(GetParam().facts, ActionFrameFactsKnown::yes, Dismantled::no),
            GetParam().withFrames);
  EXPECT_EQ(policy.decideResponse(GetParam().facts, ActionFrameFactsKnown::no, Dismantled::no),
            GetParam().withoutFrames);
}

INSTANTIATE_TEST_SUITE_P(
    Responses, ResponseTest,
    ::testing::Values(
        ResponseCase{"appPage",
                     {"https://orlith.example/app", true, true, true, 200, false},
                     kAllow,
                     kAllow},
        ResponseCase{"bare401UnderApp",
                     {"https://orlith.example/app/expired", true, true, true, 401, false},
                     ends("http_401"),
                     ends("http_401")},
        ResponseCase{"401WithChallenge",
                     {"https://orlith.example/app/basic", true, true, true, 401, true},
                     kAllow,
                     kAllow},
        ResponseCase{"401UnderApi",
                     {"https://orlith.example/api/x", true, true, true, 401, false},
                     kAllow,
                     kAllow},
        ResponseCase{"401InSubframe",
                     {"https://orlith.example/app/x", true, false, true, 401, false},
                     kAllow,
                     kAllow},
        ResponseCase{"foreign401",
                     {"https://example.com/app", true, true, true, 401, false},
                     kAllow,
                     opens("https://example.com/app")},
        ResponseCase{"loginPage",
                     {"https://orlith.example/login", true, true, true, 200, false},
                     kAllow,
                     ends("auth_redirect")},
        ResponseCase{"foreignMainFrame",
                     {"https://example.com/x", true, true, true, 200, false},
                     kAllow,
                     opens("https://example.com/x")},
        ResponseCase{"foreignSubframe",
                     {"https://example.com/x", true, false, true, 200, false},
                     kAllow,
                     kAllow},
        ResponseCase{"unshowableAppResponse",
                     {"https://orlith.example/api/export", true, true, false, 200, false},
                     kDownload,
                     kDownload},
        ResponseCase{"unshowableSubframe",
                     {"https://orlith.example/api/export", true, false, false, 200, false},
                     kAllow,
                     kAllow},
        ResponseCase{"mainFrameBlob",
                     {"blob:https://orlith.example/5f1c", false, true, true, 200, false},
                     kAllow,
                     kCancel},
        ResponseCase{"mainFrameData",
                     {"data:text/html,x", false, true, false, 200, false},
                     kDownload,
                     kCancel},
        ResponseCase{
            "subframeData", {"data:text/html,x", false, false, true, 200, false}, kAllow, kAllow}),
    [](const auto& info) { return std::string(info.param.name); });

struct NewWindowCase {
  const char* name;
  const char* uri;
  std::optional<std::string> load;
  std::optional<std::string> open;
};

class NewWindowTest : public ::testing::TestWithParam<NewWindowCase> {};

TEST_P(NewWindowTest, AppPagesReplaceThisTabOthersGoToTheDesktop) {
  NavigationPolicy policy(productionEnvironment());
  NewWindowOutcome outcome =
      policy.decideNewWindow(GetParam().uri, FreshUserInput::yes, Dismantled::no);
  EXPECT_EQ(outcome.loadInThisView ? std::optional(outcome.loadInThisView->absoluteString())
                                   : std::nullopt,
            GetParam().load);
  EXPECT_EQ(outcome.openExternally, GetParam().open);
  EXPECT_EQ(policy.decideNewWindow(GetParam().uri, FreshUserInput::no, Dismantled::no),
            NewWindowOutcome{})
      << "without a person's input that no other window used, nothing happens";
}

INSTANTIATE_TEST_SUITE_P(
    NewWindows, NewWindowTest,
    ::testing::Values(
        NewWindowCase{"appPage", "https://orlith.example/app/y", "https://orlith.example/app/y",
                      std::nullopt},
        NewWindowCase{"foreign", "https://example.com/", std::nullopt, "https://example.com/"},
        NewWindowCase{"mailto", "mailto:a@b.c", std::nullopt, "mailto:a@b.c"},
        NewWindowCase{"blob", "blob:https://orlith.example/1", std::nullopt, std::nullopt},
        NewWindowCase{"empty", "", std::nullopt, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct DownloadCase {
  const char* name;
  DownloadFacts facts;
  bool admitted;
};

class DownloadAdmissionTest : public ::testing::TestWithParam<DownloadCase> {};

TEST_P(DownloadAdmissionTest, KeepsResponseDownloadsAndServicePageDownloadsOfServiceData) {
  NavigationPolicy policy(productionEnvironment());
  EXPECT_EQ(policy.admitDownload(GetParam().facts, Dismantled::no), GetParam().admitted);
}

const char* kServicePage = "https://orlith.example/app/x";

INSTANTIATE_TEST_SUITE_P(
    Downloads, DownloadAdmissionTest,
    ::testing::Values(
        DownloadCase{"byResponseRule", {"https://orlith.example/api/f", std::nullopt, true}, true},
        DownloadCase{"serviceFile", {"https://orlith.example/f", kServicePage, false}, true},
        DownloadCase{"serviceBlob", {"blob:https://orlith.example/1", kServicePage, false}, true},
        DownloadCase{"dataByThisTabsDecision", {"data:text/plain,x", kServicePage, true}, true},
        DownloadCase{"dataFromSomeFrame", {"data:text/plain,x", kServicePage, false}, false},
        DownloadCase{"foreignFile", {"https://example.com/f", kServicePage, false}, false},
        DownloadCase{"foreignBlob", {"blob:https://example.com/1", kServicePage, false}, false},
        DownloadCase{
            "fromForeignPage", {"data:text/plain,x", "https://example.com/", false}, false},
        DownloadCase{"noViewUri", {"https://orlith.example/f", std::nullopt, false}, false},
        DownloadCase{"ftp", {"ftp://orlith.example/f", kServicePage, false}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NavigationPolicyTest, CommitOutsideTheWebIsReportedAsAFailedLoad) {
  for (const char* uri : {"about:blank", "data:text/html,x", "blob:https://orlith.example/1", ""})
    EXPECT_TRUE(NavigationPolicy::isCommitOutsideWeb(uri)) << uri;
  EXPECT_FALSE(NavigationPolicy::isCommitOutsideWeb("https://orlith.example/app"));
  EXPECT_EQ(NavigationPolicy::kBackstopErrorCode, 101);
}

TEST(NavigationPolicyTest, SchemeListsAndSignupPaths) {
  EXPECT_EQ(NavigationPolicy::kExternalSchemes.size(), 6u);
  EXPECT_EQ(NavigationPolicy::kInFrameSchemes.size(), 3u);
  for (const char* path : {"/login", "/login/", "/login/x", "/signup", "/signup/x"})
    EXPECT_TRUE(NavigationPolicy::isSignupPath(
        testing::url((std::string("https://orlith.example") + path).c_str())))
        << path;
  for (const char* path : {"/loginx", "/signups", "/app/login", "/"})
    EXPECT_FALSE(NavigationPolicy::isSignupPath(
        testing::url((std::string("https://orlith.example") + path).c_str())))
        << path;
}

}  // namespace
}  // namespace orlith
