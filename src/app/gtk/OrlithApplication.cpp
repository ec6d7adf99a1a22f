// Starts the process's windows on activation; a second launch reaches this instance instead.
#include "app/gtk/OrlithApplication.h"

#include "OrlithBuildConfig.h"
#include "app/gtk/MainWindow.h"
#include "app/gtk/ProductionApplicationContext.h"
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
  window->signal_hide().connect([window] { delete window; });
  return window;
}

void OrlithApplication::on_activate() {
  if (auto* window = get_active_window()) {
    window->present();
    return;
  }
  if (!context_) {
    context_ = makeProductionApplicationContext(OrlithEnvironment::shared(),
                                                WorkspaceNetworkSession::shared());
  }
  openWindow()->present();
  if (!context_->sessionStore().didBootstrap()) {
    context_->sessionStore().markBootstrapped();
    startDetached(context_->sessionStore().restoreStoredSession());
  }
}

}  // namespace orlith
