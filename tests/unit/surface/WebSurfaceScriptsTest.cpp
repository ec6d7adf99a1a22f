// The page scripts as filled for an environment, their installation, and the theme probe.
#include "workspace/surface/WebSurfaceScripts.h"

#include <gtest/gtest.h>

#include "session/OrlithWire.h"
#include "unit/surface/SurfaceEnvironments.h"
#include "workspace/surface/SurfaceReadiness.h"

namespace orlith {
namespace {

using testing::kTestHosts;
using testing::localEnvironment;
using testing::productionEnvironment;
using testing::url;

class RecordingContentController final : public UserContentController {
 public:
  void removeAllScripts() override {
    ++removals;
    scripts.clear();
  }
  void addScript(const UserScript& script) override { scripts.push_back(script); }

  int removals = 0;
  std::vector<UserScript> scripts;
};

bool contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

TEST(WebSurfaceScriptsTest, AllowedOriginsAreServiceHostsAndLocalOriginInPageForm) {
  using Origins = std::vector<std::string>;
  EXPECT_EQ(WebSurfaceScripts::allowedOrigins(productionEnvironment(), kTestHosts),
            (Origins{"https://orlith.example", "https://www.orlith.example"}));
  EXPECT_EQ(
      WebSurfaceScripts::allowedOrigins(localEnvironment(), kTestHosts),
      (Origins{"https://orlith.example", "https://www.orlith.example", "https://127.0.0.1:47800"}));
  OrlithEnvironment localOnDefaultPort(url("https://LOCALHOST:443"), kTestHosts);
  EXPECT_EQ(WebSurfaceScripts::allowedOrigins(localOnDefaultPort, kTestHosts).back(),
            "https://localhost");
  OrlithEnvironment explicitPort(url("https://orlith.example:443"), kTestHosts);
  EXPECT_EQ(WebSurfaceScripts::allowedOrigins(explicitPort, kTestHosts).size(), 2u);
}

TEST(WebSurfaceScriptsTest, EveryScriptIsFilledWithOriginsAndNoPlaceholderIsLeft) {
  WebSurfaceScripts scripts(localEnvironment(), "2.4.1", kTestHosts);
  const std::string origins =
      R"(["https://orlith.example","https://www.orlith.example","https://127.0.0.1:47800"])";
  for (PageTheme theme : {PageTheme::light, PageTheme::dark}) {
    for (const std::string& text :
         {scripts.themeSeed(theme), scripts.bridgeBootstrap(), scripts.readiness()}) {
      EXPECT_TRUE(contains(text, "const allowedOrigins = " + origins + ";")) << text;
      EXPECT_TRUE(contains(text, "window !== window.top")) << text;
      EXPECT_FALSE(contains(text, "__ORLITH_")) << text;
    }
  }
}

TEST(WebSurfaceScriptsTest, ThemeSeedFallsBackToTheFilledThemeOnlyForUnknownStoredValues) {
  WebSurfaceScripts scripts(productionEnvironment(), "1.0", kTestHosts);
  const std::string dark = scripts.themeSeed(PageTheme::dark);
  const std::string light = scripts.themeSeed(PageTheme::light);
  EXPECT_TRUE(contains(dark, R"(if (theme !== 'dark' && theme !== 'light') theme = "dark";)"));
  EXPECT_TRUE(contains(light, R"(if (theme !== 'dark' && theme !== 'light') theme = "light";)"));
  EXPECT_TRUE(contains(light, "'orlith:app-theme'"));
  EXPECT_TRUE(contains(light, R"(/^\/app(?:\/|$)/.test(location.pathname))"));
}

TEST(WebSurfaceScriptsTest, BridgeCarriesWirePlatformAndEscapedVersion) {
  WebSurfaceScripts scripts(productionEnvironment(), "3.0'\"</script>\xc3\xa9", kTestHosts);
  const std::string& bridge = scripts.bridgeBootstrap();
  EXPECT_EQ(wire::kBridgePlatform, "macos");
  EXPECT_TRUE(contains(bridge, R"(platform: "macos")")) << bridge;
  // A version with quotes stays one string literal; non-ASCII is escaped.
  EXPECT_TRUE(contains(bridge, R"(version: "3.0'\"</script>\u00e9")")) << bridge;
  EXPECT_TRUE(contains(bridge, "window.webkit.messageHandlers.orlith.postMessage"));
  EXPECT_TRUE(contains(bridge, "writable: false"));
  EXPECT_TRUE(contains(bridge, "configurable: false"));
}

TEST(WebSurfaceScriptsTest, ReadinessScriptUsesItsHandlerAndStrictTicket) {
  WebSurfaceScripts scripts(productionEnvironment(), "1.0", kTestHosts);
  const std::string& readiness = scripts.readiness();
  EXPECT_TRUE(contains(readiness, "handlers.orlithSurface"));
  EXPECT_TRUE(contains(readiness, "/^[a-f0-9]{32}$/"));
  EXPECT_TRUE(contains(readiness, "window.__orlithArmSurface"));
  EXPECT_TRUE(contains(readiness, "window.__orlithSurfaceActive"));
}

TEST(WebSurfaceScriptsTest, InstallReplacesAllScriptsAtDocumentStartInTopFrame) {
  WebSurfaceScripts scripts(productionEnvironment(), "1.0", kTestHosts);
  RecordingContentController controller;
  controller.scripts.push_back(UserScript{"stale"});
  scripts.installUserScripts(controller, PageTheme::dark);
  ASSERT_EQ(controller.removals, 1);
  ASSERT_EQ(controller.scripts.size(), 3u);
  EXPECT_EQ(controller.scripts[0].source, scripts.themeSeed(PageTheme::dark));
  EXPECT_EQ(controller.scripts[1].source, scripts.bridgeBootstrap());
  EXPECT_EQ(controller.scripts[2].source, scripts.readiness());
  const ScriptWorld worlds[] = {ScriptWorld::page, ScriptWorld::page, ScriptWorld::readiness};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(controller.scripts[i].world, worlds[i]) << i;
    EXPECT_EQ(controller.scripts[i].frames, ScriptFrames::topFrameOnly) << i;
    EXPECT_EQ(controller.scripts[i].time, ScriptInjectionTime::documentStart) << i;
  }
  EXPECT_EQ(kReadinessWorldName, "OrlithSurfaceReadiness");
}

struct ProbeCase {
  const char* name;
  std::optional<Json> result;
  const char* expectedURL;
  std::optional<PageTheme> theme;
};

class ThemeProbeTest : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ThemeProbeTest, AcceptsOnlyAKnownThemeFromTheExpectedWorkspacePage) {
  EXPECT_EQ(WebSurfaceScripts::parseThemeProbe(GetParam().result, url(GetParam().expectedURL)),
            GetParam().theme);
}

const char* kPage = "https://orlith.example/app/notes";

INSTANTIATE_TEST_SUITE_P(
    Probes, ThemeProbeTest,
    ::testing::Values(
        ProbeCase{"dark", Json{{"theme", "dark"}, {"href", kPage}}, kPage, PageTheme::dark},
        ProbeCase{"light", Json{{"theme", "light"}, {"href", kPage}}, kPage, PageTheme::light},
        ProbeCase{"appRoot", Json{{"theme", "dark"}, {"href", "https://orlith.example/app"}},
                  "https://orlith.example/app", PageTheme::dark},
        ProbeCase{"unknownTheme", Json{{"theme", "sepia"}, {"href", kPage}}, kPage, std::nullopt},
        ProbeCase{"themeCase", Json{{"theme", "Dark"}, {"href", kPage}}, kPage, std::nullopt},
        ProbeCase{"themeNotString", Json{{"theme", true}, {"href", kPage}}, kPage, std::nullopt},
        ProbeCase{"otherPage",
                  Json{{"theme", "dark"}, {"href", "https://orlith.example/app/other"}}, kPage,
                  std::nullopt},
        ProbeCase{"outsideApp", Json{{"theme", "dark"}, {"href", "https://orlith.example/share/x"}},
                  "https://orlith.example/share/x", std::nullopt},
        ProbeCase{"appsIsNotApp", Json{{"theme", "dark"}, {"href", "https://orlith.example/apps"}},
                  "https://orlith.example/apps", std::nullopt},
        ProbeCase{"noHref", Json{{"theme", "dark"}}, kPage, std::nullopt},
        ProbeCase{"notObject", Json("dark"), kPage, std::nullopt},
        ProbeCase{"noValue", std::nullopt, kPage, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WebSurfaceScriptsTest, DesktopCommandScriptHasTheDeliveryTextWithEscapedOrigin) {
  EXPECT_EQ(
      WebSurfaceScripts::desktopCommandScript("https://orlith.example", R"({"type":"search"})"),
      "(() => {\n"
      "  if (location.origin !== new URL([\"https://orlith.example\"][0]).origin || "
      "!window.__orlithDesktopCommandReady) return false;\n"
      "  window.dispatchEvent(new CustomEvent('orlith:desktop-command', { detail: "
      "{\"type\":\"search\"} }));\n"
      "  return true;\n"
      "})()");
  EXPECT_TRUE(contains(WebSurfaceScripts::desktopCommandScript("https://a\"b", "{}"),
                       R"(new URL(["https://a\"b"][0]))"));
}

TEST(WebSurfaceScriptsTest, ArmingPassesTheOriginAsThePageWritesIt) {
  const std::string ticket(32, 'a');
  struct {
    const char* document;
    std::optional<Json> arguments;
  } cases[] = {
      {"https://orlith.example/app",
       Json{{"ticket", ticket}, {"origin", "https://orlith.example"}}},
      {"https://orlith.example:443/app",
       Json{{"ticket", ticket}, {"origin", "https://orlith.example"}}},
      {"https://127.0.0.1:47800/app",
       Json{{"ticket", ticket}, {"origin", "https://127.0.0.1:47800"}}},
      {"about:blank", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WebSurfaceScripts::armSurfaceArguments(ticket, url(c.document)), c.arguments)
        << c.document;
  }
  // The page's answer, in its own origin form, is accepted natively.
  SurfaceReadiness readiness;
  const Url document = url("https://orlith.example/app");
  readiness.arm(ticket, SurfaceReadiness::readinessOrigin(document), 0.0);
  auto arguments = WebSurfaceScripts::armSurfaceArguments(ticket, document);
  EXPECT_TRUE(readiness.markReportedReady(ticket, (*arguments)["origin"].get<std::string>()));
}

TEST(WebSurfaceScriptsTest, SurfaceActiveScriptNamesTheFlag) {
  EXPECT_EQ(WebSurfaceScripts::surfaceActiveScript(true),
            "window.__orlithSurfaceActive && window.__orlithSurfaceActive(true);");
  EXPECT_EQ(WebSurfaceScripts::surfaceActiveScript(false),
            "window.__orlithSurfaceActive && window.__orlithSurfaceActive(false);");
}

}  // namespace
}  // namespace orlith
