// Starts the process's windows on activation; a second launch reaches this instance instead.
#include "app/gtk/OrlithApplication.h"

#include "OrlithBuildConfig.h"
#include "app/gtk/ApplicationShell.h"
#include "app/gtk/MainWindow.h"
#include "app/gtk/ProductionApplicationContext.h"
#include "app/gtk/XdgAutostartLoginItem.h"
#include "base/BundleInfo.h"
#include "base/Task.h"
#include "workspace/surface/gtk/WorkspaceNetworkSession.h"

namespace orlith {

OrlithApplication::OrlithApplication() : Gtk::Application(kApplicationId) {}

OrlithApplication::~OrlithApplication() = default;

Glib::RefPtr<OrlithApplication> OrlithApplication::create() {
  return Glib::make_refptr_for_instance<OrlithApplication>(new OrlithApplication());
}

MainWindow* OrlithApplication::openWindow() {
  MainWindow::Options options;
  options.openWindow = [this] { openWindow()->present(); };
  auto* window = new MainWindow(*context_, WorkspaceNetworkSession::shared(), std::move(options));
  add_window(*window);
  shell_->attachWindow(*window, window->tabs());
  window->signal_hide().connect([window] { delete window; });
  return window;
}

void OrlithApplication::on_startup() {
  Gtk::Application::on_startup();
  context_ = makeProductionApplicationContext(OrlithEnvironment::shared(),
                                              WorkspaceNetworkSession::shared());
  ApplicationShell::Options options;
  options.openWindow = [this] { openWindow()->present(); };
  options.bundlePath = BundleInfo::mainBundlePath();
  options.loginItem = std::make_shared<XdgAutostartLoginItem>(
      XdgAutostartLoginItem::forCurrentUser(kApplicationId));
  // Until the file manager's own reveal is wired, the folder holding the bundle opens.
  options.revealInFiles = [this](const std::filesystem::path& bundle) {
    context_->openExternally(Glib::filename_to_uri(bundle.parent_path().string()));
  };
  shell_ = std::make_unique<ApplicationShell>(*this, *context_, std::move(options));
  shell_->startup();
}

void OrlithApplication::on_activate() {
  shell_->reopen();
  if (!context_->sessionStore().didBootstrap()) {
    context_->sessionStore().markBootstrapped();
    startDetached(context_->sessionStore().restoreStoredSession());
  }
}

}  // namespace orlith
