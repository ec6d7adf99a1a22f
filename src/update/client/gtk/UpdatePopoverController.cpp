// The panel's popover, its following of the snapshot, its closing ways and its focus.
#include "update/client/gtk/UpdatePopoverController.h"

namespace orlith {

UpdatePopoverController::UpdatePopoverController(UpdateIndicatorModel& model) : model_(model) {
  popover_.add_css_class("orlith-update-panel");
  popover_.set_autohide(true);
  popover_.set_position(Gtk::PositionType::BOTTOM);
  popover_.set_child(content_);
  content_.closeAction = [this] { close(); };
  content_.primaryAction = [this] { model_.performPrimaryAction(); };

  // Escape closes the panel before anything inside it sees the key.
  auto keys = Gtk::EventControllerKey::create();
  keys->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  keys->signal_key_pressed().connect(
      [this](guint keyval, guint, Gdk::ModifierType) {
        if (keyval != GDK_KEY_Escape || !isShown())
          return false;
        close();
        return true;
      },
      false);
  popover_.add_controller(keys);

  popover_.signal_show().connect([this] { shown(); });
  popover_.signal_closed().connect([this] { closed(); });

  snapshotConnection_ = model_.changed().connect([this] { render(model_.snapshot()); });
  render(model_.snapshot());
}

UpdatePopoverController::~UpdatePopoverController() {
  snapshotConnection_.disconnect();
  ownerConnections_.clear();
}

void UpdatePopoverController::render(const UpdateSnapshot& snapshot) {
  const PanelPresentation panel = panelPresentation(snapshot, model_.appVersion());
  headings_.apply(panel.headingKey, isShown());
  content_.apply(panel);
}

void UpdatePopoverController::show() {
  popover_.popup();
}

void UpdatePopoverController::close() {
  popover_.popdown();
}

void UpdatePopoverController::toggle() {
  if (isShown())
    close();
  else
    show();
}

void UpdatePopoverController::shown() {
  if (auto* owner = dynamic_cast<Gtk::Window*>(popover_.get_root()))
    watchOwner(*owner);
  if (content_.later().get_visible())
    content_.later().grab_focus();
  else
    content_.closeButton().grab_focus();
}

void UpdatePopoverController::closed() {
  ownerConnections_.clear();
  pendingClose_.disconnect();
  Gtk::Widget* anchor = popover_.get_parent();
  auto* owner = dynamic_cast<Gtk::Window*>(popover_.get_root());
  if (anchor != nullptr && owner != nullptr && owner->is_active())
    anchor->grab_focus();
}

// Owner events close the panel one main-loop turn later, not inside the window's own handler.
void UpdatePopoverController::closeLater() {
  if (pendingClose_.connected())
    return;
  pendingClose_ = Glib::signal_idle().connect([this] {
    pendingClose_.release();
    close();
    return false;
  });
}

void UpdatePopoverController::watchOwner(Gtk::Window& owner) {
  ownerConnections_.clear();
  for (const char* property : {"default-width", "default-height", "fullscreened"})
    ownerConnections_.emplace_back(
        owner.connect_property_changed(property, [this] { closeLater(); }));
  ownerConnections_.emplace_back(owner.signal_close_request().connect(
      [this] {
        closeLater();
        return false;
      },
      false));
  ownerConnections_.emplace_back(
      owner.property_is_active().signal_changed().connect([this, &owner] {
        if (owner.is_active())
          return;
        // Focus may be moving to another window of the app: look once that has settled.
        ownerConnections_.emplace_back(Glib::signal_idle().connect([this] {
          for (Gtk::Window* window : Gtk::Window::list_toplevels())
            if (window->is_active())
              return false;
          close();
          return false;
        }));
      }));
}

}  // namespace orlith
