// Starts the process's windows on activation and takes links; a second launch reaches this
// instance instead.
#include "app/gtk/OrlithApplication.h"

#include <malloc.h>

#include <iostream>

#include "app/gtk/ApplicationShell.h"
#include "app/gtk/DesktopIntegration.h"
#include "app/gtk/MainWindow.h"
#include "app/gtk/ProductionApplicationContext.h"
#include "app/gtk/ToolkitRendererSetup.h"
#include "app/gtk/XdgAutostartLoginItem.h"
#include "base/BundleInfo.h"
#include "base/LocalizedStrings.h"
#include "platform/glib/FileManagerRevealer.h"
#include "platform/glib/UriLauncher.h"
#include "signin/LayoutDirection.h"
#include "workspace/surface/gtk/DesktopSurfaceServices.h"
#include "workspace/surface/gtk/WorkspaceNetworkSession.h"

namespace orlith {
namespace {

constexpr unsigned kStartupSettleMs = 3000;

}  // namespace

OrlithApplication::OrlithApplication()
    : Gtk::Application(kApplicationId, Gio::Application::Flags::HANDLES_OPEN) {}

OrlithApplication::~OrlithApplication() = default;

Glib::RefPtr<OrlithApplication> OrlithApplication::create() {
  return Glib::make_refptr_for_instance<OrlithApplication>(new OrlithApplication());
}

void OrlithApplication::on_startup() {
  Gtk::Application::on_startup();
  if (!OrlithMacApp::isBundleIdentifierConsistent(BundleInfo::main().identifier())) {
    // The keyring item and the session bus name derive from the identifier: a bundle that says
    // another one is broken, and running it would use another account's items.
    std::cerr << "Orlith: the bundle's identifier is not " << kApplicationId << "\n";
    quit();
    return;
  }
  gtk_widget_set_default_direction(isRightToLeftLanguage(LocalizedStrings::main().languageCode())
                                       ? GTK_TEXT_DIR_RTL
                                       : GTK_TEXT_DIR_LTR);
  ToolkitRendererSetup::apply();
  // The first page loads only after the window shows and the stored session is read; the web
  // engine's network process starts meanwhile rather than at the first cookie call, and the web
  // process too unless the person signed out.
  WorkspaceNetworkSession::shared().warmUp(OrlithEnvironment::shared().hosts().host);
  if (OrlithMacApp::expectsStoredSession(DesktopSurfaceServices::shared().preferences()))
    WorkspaceNetworkSession::shared().prewarmWebProcess();
  context_ = makeProductionApplicationContext(OrlithEnvironment::shared(),
                                              WorkspaceNetworkSession::shared());
  // Read while the first window is made; the restore at its appearance takes the answer.
  context_->sessionStore().prefetchStoredSession();
  app_ = std::make_unique<OrlithMacApp>(OrlithMacApp::Dependencies{
      context_->sessionStore(), context_->appearance(), context_->preferences(),
      context_->diagnostics(), context_->updates()});
  signIn_ = std::make_shared<SignInServices>(
      Glib::RefPtr<Gtk::Application>(this, [](Gtk::Application*) {}));
  ApplicationShell::Options options;
  options.openWindow = [this] { openWindow()->present(); };
  options.bundlePath = BundleInfo::mainBundlePath();
  options.loginItem = std::make_shared<XdgAutostartLoginItem>(
      XdgAutostartLoginItem::forCurrentUser(kApplicationId));
  options.revealInFiles = [](const std::filesystem::path& bundle) {
    // The folder's handler gets the display's launch context, and with it the activation token.
    FileManagerRevealer revealer([](const std::string& uri) {
      GdkDisplay* display = gdk_display_get_default();
      GObjectPtr<GAppLaunchContext> launch(
          display ? G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(display)) : nullptr);
      return UriLauncher::launch(uri, launch.get());
    });
    revealer.reveal(bundle);
  };
  // The shell keeps the app running with no window open.
  shell_ = std::make_unique<ApplicationShell>(*this, *context_, std::move(options));
  shell_->startup();
}

MainWindow* OrlithApplication::openWindow() {
  MainWindow::Options options;
  options.openWindow = [this] { openWindow()->present(); };
  options.signIn = signIn_;
  options.onFirstAppear = [this] {
    app_->handleWindowAppear();
    if (firstAppearHandled_)
      return;
    firstAppearHandled_ = true;
    // The desktop entry and the scheme's handler read the desktop's application database: once
    // the first window is up, behind its drawing.
    Glib::signal_idle().connect_once([] { DesktopIntegration::install(kApplicationId); },
                                     Glib::PRIORITY_LOW);
    // Start-up draws window-sized buffers (the launch screen, its crossfade, the first page) that
    // leave the heap mostly free but not given back; once it has settled, it is.
    Glib::signal_timeout().connect_once([] { malloc_trim(0); }, kStartupSettleMs,
                                        Glib::PRIORITY_LOW);
  };
  options.activateApplication = [this] {
    if (auto* window = get_active_window())
      window->present();
  };
  auto* window = new MainWindow(*context_, WorkspaceNetworkSession::shared(), std::move(options));
  // The toolkit has picked the renderer by the time its first window is realized.
  window->signal_realize().connect([] { ToolkitRendererSetup::finish(); }, true);
  add_window(*window);
  shell_->attachWindow(*window);
  // Closing only hides a window the toolkit does not own; the hide is where it goes, with its
  // views and their web content.
  window->set_hide_on_close(true);
  window->signal_hide().connect([window] { delete window; });
  return window;
}

MainWindow* OrlithApplication::mostRecentMainWindow() {
  // GTK lists the application's windows most recently focused first.
  for (Gtk::Window* window : get_windows()) {
    if (auto* main = dynamic_cast<MainWindow*>(window))
      return main;
  }
  return nullptr;
}

void OrlithApplication::on_activate() {
  if (!context_)
    return;
  // Every open main window (and an open settings window) comes forward, or a window opens.
  shell_->reopen();
}

void OrlithApplication::on_open(const type_vec_files& files, const Glib::ustring&) {
  if (!context_)
    return;
  // A launch with a link comes here, not to activate: the first window is made here too.
  MainWindow* window = mostRecentMainWindow();
  if (window == nullptr)
    window = openWindow();
  // Inside the handler, while the launcher's activation token is still good.
  window->present();
  for (const Glib::RefPtr<Gio::File>& file : files)
    openLink(file->get_uri());
}

void OrlithApplication::openLink(const std::string& text) {
  std::optional<Url> url = Url::parse(text);
  if (!url)
    return;
  if (AuthCallbackRoute::isAuthCallbackLink(*url)) {
    // Only a waiting provider sign-in takes it; with none waiting it is dropped.
    signIn_->callbackRoute().deliver(*url);
    return;
  }
  if (MainWindow* window = mostRecentMainWindow())
    window->handleOpenURL(*url);
}

}  // namespace orlith
