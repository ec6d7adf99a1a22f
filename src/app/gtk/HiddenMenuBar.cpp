// Key and click watching for the hidden menu bar; the rules are MenuBarKeys'.
#include "app/gtk/HiddenMenuBar.h"

namespace orlith {

namespace {

constexpr const char* kWatchedKey = "orlith-menu-bar-keys";

MenuBarKeys::Key keyOf(guint keyval, Gdk::ModifierType state) {
  const auto chord = Gdk::ModifierType::CONTROL_MASK | Gdk::ModifierType::SHIFT_MASK |
                     Gdk::ModifierType::SUPER_MASK;
  const auto alt = Gdk::ModifierType::ALT_MASK | Gdk::ModifierType::META_MASK;
  const bool plain = (state & chord) == Gdk::ModifierType(0);
  switch (keyval) {
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
      // Alt with another modifier is a chord, not a tap; its own state is Alt at the release.
      return plain ? MenuBarKeys::Key::alt : MenuBarKeys::Key::other;
    case GDK_KEY_F10:
      // Shift+F10 opens a context menu.
      return plain && (state & alt) == Gdk::ModifierType(0) ? MenuBarKeys::Key::f10
                                                            : MenuBarKeys::Key::other;
    case GDK_KEY_Escape:
      return MenuBarKeys::Key::escape;
    default:
      return MenuBarKeys::Key::other;
  }
}

}  // namespace

// An empty menu until the window's own is set: the toolkit takes no missing model.
HiddenMenuBar::HiddenMenuBar() : Gtk::PopoverMenuBar(Gio::Menu::create()) {
  add_css_class("orlith-menubar");
  set_visible(false);
}

HiddenMenuBar::~HiddenMenuBar() {
  check_.disconnect();
  for (auto& connection : menuConnections_)
    connection.disconnect();
}

void HiddenMenuBar::watch(Gtk::Window& window) {
  window_ = &window;
  // The window's own F10 looks for a menu bar that shows; this one answers it instead.
  window.set_handle_menubar_accel(false);
  window.add_controller(keyWatcher());
  // Alt held for a click is no tap; the click goes on to its widget.
  auto clicks = Gtk::GestureClick::create();
  clicks->set_button(0);
  clicks->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  clicks->signal_pressed().connect([this](int, double, double) { keys_.interrupted(); });
  window.add_controller(clicks);
  // Alt+Tab: the desktop takes the Tab and the window loses the focus. An open menu closes by
  // itself then, and the bar with it.
  window.property_is_active().signal_changed().connect([this] { keys_.interrupted(); });
}

Glib::RefPtr<Gtk::EventControllerKey> HiddenMenuBar::keyWatcher() {
  auto keys = Gtk::EventControllerKey::create();
  keys->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  keys->signal_key_pressed().connect(
      [this](guint keyval, guint, Gdk::ModifierType state) {
        const MenuBarKeys::Effect effect = keys_.pressed(keyOf(keyval, state), revealed());
        apply(effect);
        return effect != MenuBarKeys::Effect::none;
      },
      false);
  keys->signal_key_released().connect([this](guint keyval, guint, Gdk::ModifierType state) {
    apply(keys_.released(keyOf(keyval, state)));
  });
  return keys;
}

void HiddenMenuBar::apply(MenuBarKeys::Effect effect) {
  switch (effect) {
    case MenuBarKeys::Effect::toggle:
      if (revealed())
        conceal();
      else
        reveal();
      break;
    case MenuBarKeys::Effect::hide:
      conceal();
      break;
    case MenuBarKeys::Effect::none:
      break;
  }
}

void HiddenMenuBar::reveal() {
  if (revealed() || !get_first_child())
    return;
  Gtk::Widget* focus = window_ ? window_->get_focus() : nullptr;
  focusBefore_ = focus ? retainObject(focus->gobj()) : nullptr;
  set_visible(true);
  // Each menu's popover is the child of its item after the item's label.
  for (Gtk::Widget* item = get_first_child(); item; item = item->get_next_sibling()) {
    for (Gtk::Widget* child = item->get_first_child(); child; child = child->get_next_sibling()) {
      auto* popover = dynamic_cast<Gtk::Popover*>(child);
      if (!popover)
        continue;
      menuConnections_.push_back(
          popover->signal_unmap().connect([this] { concealWhenMenusClosed(); }));
      // An open menu holds the keyboard: the window's watcher does not see its keys.
      if (!g_object_get_data(G_OBJECT(popover->gobj()), kWatchedKey)) {
        popover->add_controller(keyWatcher());
        g_object_set_data(G_OBJECT(popover->gobj()), kWatchedKey, this);
      }
    }
  }
  // As the toolkit's own F10 does: the first menu opens with the keyboard in it.
  get_first_child()->activate();
}

void HiddenMenuBar::concealWhenMenusClosed() {
  // Moving to the next menu closes one and opens the other: look once that is done.
  check_.disconnect();
  check_ = Glib::signal_idle().connect([this] {
    bool open = false;
    for (Gtk::Widget* item = get_first_child(); item; item = item->get_next_sibling()) {
      for (Gtk::Widget* child = item->get_first_child(); child; child = child->get_next_sibling())
        open = open || (dynamic_cast<Gtk::Popover*>(child) && child->get_mapped());
    }
    if (!open)
      conceal();
    return false;
  });
}

void HiddenMenuBar::conceal() {
  check_.disconnect();
  for (auto& connection : menuConnections_)
    connection.disconnect();
  menuConnections_.clear();
  if (!revealed())
    return;
  set_visible(false);
  GObjectPtr<GtkWidget> focus = std::move(focusBefore_);
  if (focus && window_ && gtk_widget_get_root(focus.get()) == GTK_ROOT(window_->gobj()))
    gtk_widget_grab_focus(focus.get());
}

}  // namespace orlith
