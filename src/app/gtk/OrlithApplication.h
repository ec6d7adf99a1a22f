// The application object: one instance per user session on the session bus, under the bundle's
// identifier. A second launch forwards its links to the first and exits. Start-up builds the
// application context; each new main window runs the application's appearance work; links of
// the app's scheme go to a waiting provider sign-in first, other links to the most recently
// active main window.
#pragma once

#include <gtkmm.h>

#include <memory>

#include "app/ApplicationContext.h"
#include "app/OrlithMacApp.h"
#include "app/gtk/SignInServices.h"

namespace orlith {

class ApplicationShell;
class MainWindow;

class OrlithApplication : public Gtk::Application {
 public:
  static constexpr const char* kApplicationId = OrlithMacApp::kApplicationId.data();

  static Glib::RefPtr<OrlithApplication> create();
  ~OrlithApplication() override;

  ApplicationContext* context() { return context_.get(); }
  SignInServices* signInServices() { return signIn_.get(); }
  // Hands one link of the app's scheme to where it belongs.
  void openLink(const std::string& text);

 protected:
  OrlithApplication();
  void on_startup() override;
  void on_activate() override;
  void on_open(const type_vec_files& files, const Glib::ustring& hint) override;

 private:
  MainWindow* openWindow();
  MainWindow* mostRecentMainWindow();

  std::unique_ptr<ApplicationContext> context_;
  std::unique_ptr<OrlithMacApp> app_;
  std::shared_ptr<SignInServices> signIn_;
  // Declared last, so it goes before the context it uses.
  std::unique_ptr<ApplicationShell> shell_;
  bool firstAppearHandled_ = false;
};

}  // namespace orlith
