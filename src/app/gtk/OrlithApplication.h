// The application object: one instance per user session. It makes the application context on
// first activation, runs the launch restore once, and opens the main window.
#pragma once

#include <gtkmm.h>

#include <memory>

#include "app/ApplicationContext.h"

namespace orlith {

class MainWindow;

class OrlithApplication : public Gtk::Application {
 public:
  static constexpr const char* kApplicationId = "com.tolvik.orlith.mac";

  static Glib::RefPtr<OrlithApplication> create();
  ~OrlithApplication() override;

 protected:
  OrlithApplication();
  void on_activate() override;

 private:
  MainWindow* openWindow();

  std::unique_ptr<ApplicationContext> context_;
};

}  // namespace orlith
