// Starts the process's windows on activation; a second launch reaches this instance instead.
#include "app/gtk/OrlithApplication.h"

#include "OrlithBuildConfig.h"
#include "app/gtk/MainWindow.h"

namespace orlith {

OrlithApplication::OrlithApplication() : Gtk::Application(kApplicationId) {}

Glib::RefPtr<OrlithApplication> OrlithApplication::create() {
  return Glib::make_refptr_for_instance<OrlithApplication>(new OrlithApplication());
}

void OrlithApplication::on_activate() {
  if (auto* window = get_active_window()) {
    window->present();
    return;
  }
  auto* window = new MainWindow(WorkspaceNetworkSession::shared(), build::kServiceOrigin);
  add_window(*window);
  window->signal_hide().connect([window] { delete window; });
  window->present();
}

}  // namespace orlith
