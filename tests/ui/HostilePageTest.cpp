// A workspace tab on the real engine against hostile pages: a foreign frame that acts without a
// click, real clicks sent through XTest on the main frame and on the frame, the app's own
// dialogs and microphone question, a dismantled view, and downloads that must not be lost.
#include <gmock/gmock.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "RealInput.h"
#include "UiHarness.h"
#include "base/Clock.h"
#include "platform/glib/GlibScheduler.h"
#include "support/FakePreferences.h"
#include "support/StandinProcess.h"
#include "support/TemporaryDirectory.h"
#include "workspace/surface/ActiveDownloads.h"
#include "workspace/surface/WebPermissions.h"
#include "workspace/surface/gtk/WorkspaceWebView.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

class LightDesktop final : public AppearanceEnvironment {
 public:
  bool systemIsDark() const override { return false; }
  void setAppAppearance(AppAppearance appearance) override { appearance_ = appearance; }
  AppAppearance appAppearance() const override { return appearance_; }

 private:
  AppAppearance appearance_ = AppAppearance::system;
};

// What the tab reaches outside itself, recorded.
struct Outside {
  SystemClock clock;
  GlibScheduler scheduler;
  RandomUuidSource uuids;
  FakePreferences preferences;
  LightDesktop desktop;
  AppearanceSettings appearance{preferences, desktop};
  std::vector<std::string> opened;
  std::vector<std::string> events;
  std::vector<std::string> notices;
  int prints = 0;
  int sessionEnds = 0;

  SurfaceServices services() {
    return SurfaceServices{
        clock,
        scheduler,
        uuids,
        preferences,
        appearance,
        [this](std::string_view name, const DiagnosticsDetail&) { events.emplace_back(name); },
        [this](const std::string& uri) { opened.push_back(uri); },
        [this] { ++prints; },
        {}};
  }
  SurfaceSession session() {
    SurfaceSession session;
    session.revision = 1;
    session.onSessionEnded = [this] { ++sessionEnds; };
    return session;
  }
};

std::vector<std::string> folderNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Windows of this process other than the given ones: the dialogs the app shows.
std::vector<GtkWindow*> otherWindows(const std::vector<GtkWindow*>& known) {
  std::vector<GtkWindow*> found;
  GListModel* toplevels = gtk_window_get_toplevels();
  for (guint i = 0; i < g_list_model_get_n_items(toplevels); ++i) {
    auto* window = GTK_WINDOW(g_list_model_get_item(toplevels, i));
    g_object_unref(window);
    if (gtk_widget_get_visible(GTK_WIDGET(window)) &&
        std::find(known.begin(), known.end(), window) == known.end())
      found.push_back(window);
  }
  return found;
}

// Every label text inside `widget`, joined by new lines.
std::string labelsOf(GtkWidget* widget) {
  std::string texts;
  if (GTK_IS_LABEL(widget))
    texts += std::string(gtk_label_get_text(GTK_LABEL(widget))) + "\n";
  for (GtkWidget* child = gtk_widget_get_first_child(widget); child;
       child = gtk_widget_get_next_sibling(child))
    texts += labelsOf(child);
  return texts;
}

// The button whose label is `text` inside `widget`.
GtkWidget* buttonLabelled(GtkWidget* widget, const std::string& text) {
  if (GTK_IS_BUTTON(widget) && gtk_button_get_label(GTK_BUTTON(widget)) &&
      text == gtk_button_get_label(GTK_BUTTON(widget)))
    return widget;
  for (GtkWidget* child = gtk_widget_get_first_child(widget); child;
       child = gtk_widget_get_next_sibling(child)) {
    if (GtkWidget* found = buttonLabelled(child, text))
      return found;
  }
  return nullptr;
}

class Tab {
 public:
  Tab(const std::string& url, const OrlithEnvironment& environment, Outside& outside,
      WorkspaceWebViewOptions options)
      : model_(WorkspaceModel::create(environment, Url::parse(url), outside.scheduler)),
        window_(GTK_WINDOW(gtk_window_new())) {
    options.appVersion = "9.8.7";
    view_ = std::make_unique<WorkspaceWebView>(WorkspaceNetworkSession::shared(), model_,
                                               outside.services(), outside.session(),
                                               std::move(options));
    gtk_window_set_default_size(window_, 900, 700);
    gtk_window_set_child(window_, view_->widget());
    testing::presentAndWait(window_);
  }
  ~Tab() {
    view_.reset();
    gtk_window_destroy(window_);
  }

  WorkspaceModel& model() { return *model_; }
  WorkspaceWebView& view() { return *view_; }
  WebKitWebView* webView() { return view_->webView(); }
  GtkWindow* window() { return window_; }
  std::string uri() {
    const char* uri = webkit_web_view_get_uri(webView());
    return uri ? uri : "";
  }
  json evaluate(const std::string& script) { return testing::evaluate(webView(), script); }
  bool waitFor(const std::string& script, std::chrono::milliseconds timeout = 15s) {
    return testing::waitFor(webView(), script, timeout);
  }

  // A real click on the centre of the main frame's element.
  void click(const std::string& id) {
    json centre = evaluate("(() => { const r = document.getElementById('" + id +
                           "').getBoundingClientRect(); return [r.left + r.width / 2, "
                           "r.top + r.height / 2]; })()");
    ASSERT_TRUE(centre.is_array()) << id;
    testing::clickAt(GTK_WIDGET(webView()), centre[0].get<double>(), centre[1].get<double>());
  }
  // A real click on a part of the foreign frame ("act", "link", "mail").
  void clickInFrame(const std::string& part) {
    ASSERT_TRUE(waitFor("window.__frameLayout !== undefined"));
    json at = evaluate(
        "(() => { const r = document.getElementById('frame').getBoundingClientRect();"
        " const p = window.__frameLayout['" +
        part + "']; return [r.left + p[0], r.top + p[1]]; })()");
    ASSERT_TRUE(at.is_array()) << part;
    testing::clickAt(GTK_WIDGET(webView()), at[0].get<double>(), at[1].get<double>());
  }

 private:
  std::shared_ptr<WorkspaceModel> model_;
  GtkWindow* window_;
  std::unique_ptr<WorkspaceWebView> view_;
};

void settle(std::chrono::milliseconds time = 1500ms) {
  testing::spinUntil([] { return false; }, time);
}

class HostilePageTest : public ::testing::Test {
 protected:
  HostilePageTest()
      : standin_(ORLITH_STANDIN_PATH, ORLITH_BINARY_DIR "/devcert"),
        environment_(*Url::parse(standin_.origin())) {}

  std::unique_ptr<Tab> open(const std::string& path, WorkspaceWebViewOptions options = {}) {
    if (options.downloadsFolder.empty())
      options.downloadsFolder = downloads_.path();
    options.notifyDownloadProblem = [this](const DownloadProblem& problem) {
      outside_.notices.push_back(problem.fileName);
    };
    auto tab =
        std::make_unique<Tab>(standin_.origin() + path, environment_, outside_, std::move(options));
    known_.push_back(tab->window());
    return tab;
  }
  bool waitReady(Tab& tab) {
    return testing::spinUntil([&] { return tab.model().isReady(); }, 20s);
  }
  std::vector<GtkWindow*> dialogs() { return otherWindows(known_); }

  testing::StandinProcess standin_;
  OrlithEnvironment environment_;
  Outside outside_;
  TemporaryDirectory downloads_;
  std::vector<GtkWindow*> known_;
};

TEST_F(HostilePageTest, ForeignFrameWithoutAClickOpensLoadsAndWritesNothing) {
  auto tab = open("/app/hostile/open,schemes,top,download/auto");
  ASSERT_TRUE(waitReady(*tab));
  const std::string page = tab->uri();
  ASSERT_TRUE(
      tab->waitFor("['open', 'schemes', 'top', 'download']"
                   ".every((key) => key in window.__hostile)"));
  settle();
  EXPECT_EQ(tab->evaluate("window.__hostile.open"), json({"blocked", "blocked", "blocked"}))
      << "the engine blocks script windows without a gesture before the app is asked";
  EXPECT_THAT(outside_.opened, ::testing::IsEmpty());
  EXPECT_EQ(tab->uri(), page);
  EXPECT_EQ(outside_.sessionEnds, 0);
  EXPECT_THAT(folderNames(downloads_.path()), ::testing::IsEmpty());
  EXPECT_TRUE(ActiveDownloads::shared().isEmpty());
}

TEST_F(HostilePageTest, ForeignFrameDialogsPrintAndMicrophoneAreInertReplacements) {
  WorkspaceWebViewOptions options;
  options.mockCaptureDevices = true;
  auto tab = open("/app/hostile/dialogs,mic/auto", std::move(options));
  ASSERT_TRUE(waitReady(*tab));
  ASSERT_TRUE(tab->waitFor("'dialogs' in window.__hostile && 'mic' in window.__hostile"))
      << tab->evaluate("JSON.stringify(window.__hostile)");
  EXPECT_EQ(tab->evaluate("window.__hostile.dialogs"), json::parse(R"({
      "alert": "undefined", "confirm": false, "prompt": null, "print": "undefined",
      "restore": false, "nested": false})"));
  EXPECT_EQ(tab->evaluate("window.__hostile.mic"), json::parse(R"({
      "direct": "refused:NotAllowedError", "prototype": "refused:NotAllowedError"})"));
  EXPECT_THAT(dialogs(), ::testing::IsEmpty()) << "nothing looked like the app's own question";
  EXPECT_EQ(outside_.prints, 0);
  EXPECT_FALSE(outside_.preferences.value(std::string(WebPermissions::kMicrophoneKey)));
}

TEST_F(HostilePageTest, MainFrameDialogsAreTheAppsOwnAndAnsweredOnce) {
  auto tab = open("/app/hostile");
  ASSERT_TRUE(waitReady(*tab));
  tab->evaluate(
      "window.__answers = []; setTimeout(() => {"
      " window.__answers.push(confirm('Discard the draft?'));"
      " window.__answers.push(prompt('Name the board', 'Board'));"
      " window.__answers.push(String(alert('Saved'))); }, 0); true");
  struct Step {
    const char* text;
    const char* button;
  };
  for (const Step& step :
       {Step{"Discard the draft?", "OK"}, Step{"Name the board", "OK"}, Step{"Saved", "OK"}}) {
    ASSERT_TRUE(testing::spinUntil([&] { return dialogs().size() == 1; }, 10s)) << step.text;
    GtkWindow* dialog = dialogs().front();
    EXPECT_THAT(labelsOf(GTK_WIDGET(dialog)), ::testing::HasSubstr(step.text));
    EXPECT_EQ(gtk_window_get_transient_for(dialog), tab->window());
    GtkWidget* button = buttonLabelled(GTK_WIDGET(dialog), step.button);
    ASSERT_NE(button, nullptr) << labelsOf(GTK_WIDGET(dialog));
    g_signal_emit_by_name(button, "clicked");
    ASSERT_TRUE(testing::spinUntil([&] { return dialogs().empty(); }, 5s));
  }
  ASSERT_TRUE(tab->waitFor("window.__answers.length === 3"));
  EXPECT_EQ(tab->evaluate("window.__answers"), json({true, "Board", "undefined"}));
}

TEST_F(HostilePageTest, MicrophoneGoesOnlyToTheServiceAfterOneQuestionRemembered) {
  WorkspaceWebViewOptions options;
  options.mockCaptureDevices = true;
  auto tab = open("/app/hostile", std::move(options));
  ASSERT_TRUE(waitReady(*tab));
  const std::string ask =
      "window.__mic = undefined; navigator.mediaDevices.getUserMedia({ audio: true })"
      ".then((stream) => { stream.getTracks().forEach((t) => t.stop()); window.__mic = 'granted'; "
      "},"
      " (error) => { window.__mic = 'refused'; }); true";
  tab->evaluate(ask);
  ASSERT_TRUE(testing::spinUntil([&] { return dialogs().size() == 1; }, 10s));
  GtkWidget* allow = buttonLabelled(GTK_WIDGET(dialogs().front()), "Allow");
  ASSERT_NE(allow, nullptr) << labelsOf(GTK_WIDGET(dialogs().front()));
  g_signal_emit_by_name(allow, "clicked");
  ASSERT_TRUE(tab->waitFor("window.__mic !== undefined"));
  EXPECT_EQ(tab->evaluate("window.__mic"), "granted");
  EXPECT_EQ(outside_.preferences.value(std::string(WebPermissions::kMicrophoneKey)),
            PreferenceValue(true));

  tab->evaluate(ask);
  ASSERT_TRUE(tab->waitFor("window.__mic !== undefined"));
  EXPECT_EQ(tab->evaluate("window.__mic"), "granted");
  EXPECT_THAT(dialogs(), ::testing::IsEmpty()) << "asked once";
  tab->evaluate(
      "window.__camera = undefined; navigator.mediaDevices.getUserMedia({ video: true })"
      ".then(() => { window.__camera = 'granted'; }, () => { window.__camera = 'refused'; });"
      " true");
  ASSERT_TRUE(tab->waitFor("window.__camera !== undefined"));
  EXPECT_EQ(tab->evaluate("window.__camera"), "refused") << "the microphone alone";
}

TEST_F(HostilePageTest, RealClicksFollowTheFramesOfTheLinkAndOneClickOpensOneWindow) {
  auto tab = open("/app/hostile/download,open/click");
  ASSERT_TRUE(waitReady(*tab));
  const std::string page = tab->uri();

  tab->click("m-mail");
  ASSERT_TRUE(testing::spinUntil([&] { return outside_.opened.size() == 1; }, 10s));
  EXPECT_EQ(outside_.opened.back(), "mailto:m@b.c") << "the main frame's mail link goes outside";
  tab->click("m-external");
  ASSERT_TRUE(testing::spinUntil([&] { return outside_.opened.size() == 2; }, 10s));
  EXPECT_EQ(outside_.opened.back(), "https://example.invalid/main");
  tab->click("m-open-two");
  ASSERT_TRUE(testing::spinUntil([&] { return outside_.opened.size() == 3; }, 10s));
  settle(1000ms);
  EXPECT_EQ(outside_.opened.back(), "https://example.invalid/one");
  EXPECT_EQ(outside_.opened.size(), 3u) << "one click opens one window";

  tab->clickInFrame("mail");
  settle(1000ms);
  EXPECT_EQ(outside_.opened.size(), 3u) << "the frame's mail link is only cancelled";
  tab->clickInFrame("link");
  ASSERT_TRUE(tab->waitFor("'landed' in window.__hostile"));
  EXPECT_EQ(tab->evaluate("window.__hostile.landed"),
            "https://localhost:" + std::to_string(standin_.port()) + "/frame-landing")
      << "a link in the frame loads in the frame";
  EXPECT_EQ(outside_.opened.size(), 3u);
  EXPECT_EQ(tab->uri(), page);

  tab->click("m-data");
  ASSERT_TRUE(testing::spinUntil(
      [&] { return std::filesystem::exists(downloads_.path() / "main-data.txt"); }, 10s))
      << "the main frame's data download is kept";
  EXPECT_EQ(tab->uri(), page);

  tab->click("m-signup");
  ASSERT_TRUE(testing::spinUntil([&] { return outside_.opened.size() == 4; }, 10s));
  EXPECT_EQ(outside_.opened.back(), standin_.origin() + "/signup/x")
      << "a person's click on the sign-up link goes to the browser";
  EXPECT_EQ(outside_.sessionEnds, 0) << "and is no sign of an ended session";
  EXPECT_EQ(tab->uri(), page);
}

TEST_F(HostilePageTest, InFrameSchemesStayInFramesAndServiceBlobsDownloadFromTheMainFrame) {
  auto tab = open("/app/hostile/data/auto");
  ASSERT_TRUE(waitReady(*tab));
  const std::string page = tab->uri();
  ASSERT_TRUE(tab->waitFor("window.__hostile.data === 'loaded'"))
      << "a frame may show a data document";

  tab->evaluate("location.href = 'data:text/html,main'; true");
  settle();
  EXPECT_EQ(tab->uri(), page) << "the main frame never shows one";
  EXPECT_FALSE(tab->model().didFailToLoad());

  tab->evaluate(
      "(() => { const link = document.createElement('a');"
      " link.href = URL.createObjectURL(new Blob(['service blob']));"
      " link.download = 'service-blob.txt'; document.body.appendChild(link); link.click();"
      " link.remove(); return true; })()");
  const auto blob = downloads_.path() / "service-blob.txt";
  ASSERT_TRUE(testing::spinUntil([&] { return std::filesystem::exists(blob); }, 10s))
      << ::testing::PrintToString(folderNames(downloads_.path()));
  std::ifstream saved(blob);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), "service blob");
  EXPECT_THAT(outside_.opened, ::testing::IsEmpty());
}

TEST_F(HostilePageTest, ClickedForeignFrameStillDownloadsNothingAndOpensOneWindowAtMost) {
  auto tab = open("/app/hostile/download,open/click");
  ASSERT_TRUE(waitReady(*tab));
  const std::string page = tab->uri();
  tab->clickInFrame("act");
  ASSERT_TRUE(tab->waitFor("'download' in window.__hostile && 'open' in window.__hostile"));
  settle();
  EXPECT_THAT(folderNames(downloads_.path()), ::testing::IsEmpty())
      << "data and blob downloads need the service's main frame";
  EXPECT_EQ(outside_.opened, std::vector<std::string>{"https://example.invalid/popup"})
      << "the click opens the frame's first window; its further ones, and its mail link, nothing";
  EXPECT_EQ(tab->uri(), page) << "its later window for a service address does not load here";
  EXPECT_EQ(outside_.sessionEnds, 0);
}

TEST_F(HostilePageTest, DismantledViewStaysInertUntilDestroyed) {
  auto tab = open("/app/hostile/away");
  ASSERT_TRUE(waitReady(*tab));
  const std::string page = tab->uri();
  tab->view().dismantle();
  settle(2500ms);
  EXPECT_EQ(tab->uri(), page) << "the page's timer moves nothing";
  EXPECT_EQ(
      tab->evaluate("[confirm('Still there?'), prompt('Name?'), typeof window.open('/app/x')]"),
      json({false, nullptr, "object"}))
      << "dialogs are answered without a window";
  settle(500ms);
  EXPECT_THAT(dialogs(), ::testing::IsEmpty());
  EXPECT_EQ(tab->uri(), page);
  EXPECT_THAT(outside_.opened, ::testing::IsEmpty());
}

TEST_F(HostilePageTest, SymlinkedDownloadsFolderKeepsFilesUnderSafeNames) {
  TemporaryDirectory home;
  const auto real = home.path() / "real-downloads";
  std::filesystem::create_directories(real);
  const auto link = home.path() / "Downloads";
  std::filesystem::create_directory_symlink(real, link);
  WorkspaceWebViewOptions options;
  options.downloadsFolder = link;
  auto tab = open("/app/hostile", std::move(options));
  ASSERT_TRUE(waitReady(*tab));
  webkit_web_view_download_uri(tab->webView(), (standin_.origin() + "/api/dash.bin").c_str());
  tab->click("m-data");
  const std::vector<std::string> expected{"_rf _ x.txt", "main-data.txt"};
  ASSERT_TRUE(testing::spinUntil([&] { return folderNames(real) == expected; }, 15s))
      << ::testing::PrintToString(folderNames(real)) << ::testing::PrintToString(outside_.notices);
  EXPECT_THAT(outside_.notices, ::testing::IsEmpty());
}

TEST_F(HostilePageTest, DownloadThatCannotBeSavedIsReportedNotDropped) {
  const auto missing = downloads_.path() / "file-not-folder";
  std::ofstream(missing) << "in the way";
  WorkspaceWebViewOptions options;
  options.downloadsFolder = missing;
  auto tab = open("/app/hostile", std::move(options));
  ASSERT_TRUE(waitReady(*tab));
  tab->click("m-data");
  ASSERT_TRUE(testing::spinUntil([&] { return !outside_.notices.empty(); }, 15s));
  EXPECT_EQ(outside_.notices, std::vector<std::string>{"main-data.txt"});
  ASSERT_TRUE(testing::spinUntil([&] { return ActiveDownloads::shared().isEmpty(); }, 5s));
}

}  // namespace
}  // namespace orlith
