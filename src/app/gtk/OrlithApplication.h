// The application object: one instance per user session, opening the main window.
#pragma once

#include <gtkmm.h>

namespace orlith {

class OrlithApplication : public Gtk::Application {
 public:
  static constexpr const char* kApplicationId = "com.tolvik.orlith.mac";

  static Glib::RefPtr<OrlithApplication> create();

 protected:
  OrlithApplication();
  void on_activate() override;
};

}  // namespace orlith
