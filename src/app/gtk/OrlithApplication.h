// The application object: one instance per user session. It makes the application context and
// the shell at start-up, runs the launch restore once, and opens or brings forward the main
// windows on each activation.
#pragma once

#include <gtkmm.h>

#include <memory>

#include "app/ApplicationContext.h"

namespace orlith {

class ApplicationShell;
class MainWindow;

class OrlithApplication : public Gtk::Application {
 public:
  static constexpr const char* kApplicationId = "com.tolvik.orlith.mac";

  static Glib::RefPtr<OrlithApplication> create();
  ~OrlithApplication() override;

 protected:
  OrlithApplication();
  void on_startup() override;
  void on_activate() override;

 private:
  MainWindow* openWindow();

  std::unique_ptr<ApplicationContext> context_;
  std::unique_ptr<ApplicationShell> shell_;
};

}  // namespace orlith
