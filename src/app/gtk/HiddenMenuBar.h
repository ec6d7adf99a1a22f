// The window's menu bar, out of sight until asked for: a lone Alt tap or F10 shows it with its
// first menu open and the keyboard there; Alt again, F10, Escape, a choice or a click elsewhere
// hides it and gives the keyboard back to where it was.
#pragma once

#include <gtkmm.h>

#include <vector>

#include "app/MenuBarKeys.h"
#include "platform/glib/GObjectPtr.h"

namespace orlith {

class HiddenMenuBar : public Gtk::PopoverMenuBar {
 public:
  HiddenMenuBar();
  ~HiddenMenuBar() override;
  HiddenMenuBar(const HiddenMenuBar&) = delete;
  HiddenMenuBar& operator=(const HiddenMenuBar&) = delete;

  // Takes the window's keys and clicks, ahead of its widgets; the bar must be inside `window`.
  void watch(Gtk::Window& window);
  void reveal();
  void conceal();
  bool revealed() const { return get_visible(); }

 private:
  Glib::RefPtr<Gtk::EventControllerKey> keyWatcher();
  void apply(MenuBarKeys::Effect effect);
  void concealWhenMenusClosed();

  MenuBarKeys keys_;
  Gtk::Window* window_ = nullptr;
  GObjectPtr<GtkWidget> focusBefore_;
  std::vector<sigc::connection> menuConnections_;
  sigc::connection check_;
};

}  // namespace orlith
