// The panel's layout, its per-snapshot update and its closing ways.
#include "update/client/gtk/UpdatePanel.h"

#include "base/LocalizedStrings.h"

namespace orlith {
namespace {

std::string text(std::string_view key) {
  return localizedString(key);
}

void setAccessible(Gtk::Widget& widget, GtkAccessibleProperty property, const std::string& value) {
  gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), property, value.c_str(), -1);
}

void wrapping(Gtk::Label& label, const char* cssClass) {
  label.set_wrap(true);
  label.set_wrap_mode(Pango::WrapMode::WORD_CHAR);
  label.set_xalign(0);
  label.set_halign(Gtk::Align::FILL);
  label.set_max_width_chars(1);
  label.add_css_class(cssClass);
}

}  // namespace

UpdatePanel::UpdatePanel(UpdateIndicatorModel& model) : model_(model) {
  add_css_class("orlith-update-panel");
  set_autohide(true);
  set_position(Gtk::PositionType::BOTTOM);

  mark_.set_valign(Gtk::Align::CENTER);
  brand_.set_text(std::string(kPanelBrand));
  brand_.add_css_class("brand");
  version_.add_css_class("version");
  version_.add_css_class("secondary");
  spacer_.set_hexpand(true);
  closeImage_.set_from_icon_name("window-close-symbolic");
  closeImage_.set_pixel_size(13);
  closeButton_.set_child(closeImage_);
  closeButton_.add_css_class("orlith-update-close");
  closeButton_.set_size_request(26, 26);
  closeButton_.set_valign(Gtk::Align::CENTER);
  closeButton_.set_tooltip_text(text(kPanelCloseTooltip));
  setAccessible(closeButton_, GTK_ACCESSIBLE_PROPERTY_LABEL, text(kPanelCloseLabel));
  closeButton_.signal_clicked().connect([this] { popdown(); });
  header_.set_spacing(8);
  header_.append(mark_);
  header_.append(brand_);
  header_.append(version_);
  header_.append(spacer_);
  header_.append(closeButton_);

  heading_.set_wrap(true);
  heading_.set_wrap_mode(Pango::WrapMode::WORD);
  heading_.set_xalign(0);
  heading_.set_max_width_chars(1);
  heading_.set_halign(Gtk::Align::FILL);
  heading_.add_css_class("heading");
  setAccessible(heading_, GTK_ACCESSIBLE_PROPERTY_LABEL, text(kPanelHeadingLabel));
  wrapping(detail_, "detail");
  detail_.add_css_class("secondary");
  wrapping(error_, "error-line");

  percent_.add_css_class("percent");
  percent_.add_css_class("secondary");
  percent_.set_halign(Gtk::Align::END);
  progress_.set_hexpand(true);
  setAccessible(progress_, GTK_ACCESSIBLE_PROPERTY_LABEL, text(kPanelProgressLabel));
  progressGroup_.set_spacing(6);
  progressGroup_.append(percent_);
  progressGroup_.append(progress_);

  for (NeutralUpdateChromeButton* button : {&primary_, &later_}) {
    button->set_has_frame(true);
    button->add_css_class("orlith-update-action");
  }
  primary_.set_hexpand(true);
  primary_.set_size_request(100, 36);
  primary_.signal_clicked().connect([this] {
    if (primary_.get_sensitive())
      model_.performPrimaryAction();
  });
  later_.set_label(text(kPanelLaterTitle));
  later_.signal_clicked().connect([this] { popdown(); });
  footer_.set_spacing(8);
  footer_.append(primary_);
  footer_.append(later_);

  body_.set_spacing(8);
  body_.set_margin_top(16);
  body_.set_margin_bottom(20);
  body_.set_margin_start(20);
  body_.set_margin_end(20);
  body_.set_size_request(kWidth - 40, -1);
  header_.set_margin_bottom(10);
  error_.set_margin_bottom(10);
  for (Gtk::Widget* row : std::initializer_list<Gtk::Widget*>{&header_, &heading_, &detail_,
                                                              &progressGroup_, &error_, &footer_})
    body_.append(*row);
  set_child(body_);

  // Escape closes the panel before anything inside it sees the key.
  auto keys = Gtk::EventControllerKey::create();
  keys->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  keys->signal_key_pressed().connect(
      [this](guint keyval, guint, Gdk::ModifierType) {
        if (keyval != GDK_KEY_Escape || !get_visible())
          return false;
        popdown();
        return true;
      },
      false);
  add_controller(keys);

  signal_show().connect([this] { shown(); });
  signal_closed().connect([this] { closed(); });

  snapshotConnection_ = model_.changed().connect([this] { render(model_.snapshot()); });
  render(model_.snapshot());
}

UpdatePanel::~UpdatePanel() {
  snapshotConnection_.disconnect();
  ownerConnections_.clear();
}

void UpdatePanel::render(const UpdateSnapshot& snapshot) {
  const PanelPresentation panel = panelPresentation(snapshot, model_.appVersion());
  headings_.apply(panel.headingKey, get_visible());
  heading_.set_text(text(panel.headingKey));
  detail_.set_text(panel.detailVisible ? text(panel.detailKey) : std::string());
  detail_.set_visible(panel.detailVisible);
  version_.set_text(panel.version);
  error_.set_text(panel.error ? text(*panel.error) : std::string());
  error_.set_visible(panel.error.has_value());
  const std::string primaryTitle = text(panel.primaryTitleKey);
  primary_.set_label(primaryTitle);
  primary_.set_sensitive(panel.primaryEnabled);
  setAccessible(primary_, GTK_ACCESSIBLE_PROPERTY_LABEL, primaryTitle);
  setAccessible(primary_, GTK_ACCESSIBLE_PROPERTY_DESCRIPTION,
                panel.primaryHelpIsDetail ? detail_.get_text() : Glib::ustring());
  later_.set_visible(panel.laterVisible);
  progressGroup_.set_visible(panel.progressVisible);
  progress_.set_fraction(static_cast<double>(panel.progressValue) / 100.0);
  percent_.set_text(panel.percentText);
  setAccessible(progress_, GTK_ACCESSIBLE_PROPERTY_VALUE_TEXT, panel.percentText);
}

void UpdatePanel::shown() {
  if (auto* owner = dynamic_cast<Gtk::Window*>(get_root()))
    watchOwner(*owner);
  if (later_.get_visible())
    later_.grab_focus();
  else
    closeButton_.grab_focus();
}

void UpdatePanel::closed() {
  ownerConnections_.clear();
  pendingClose_.disconnect();
  Gtk::Widget* anchor = get_parent();
  auto* owner = dynamic_cast<Gtk::Window*>(get_root());
  if (anchor != nullptr && owner != nullptr && owner->is_active())
    anchor->grab_focus();
}

// Owner events close the panel one main-loop turn later, not inside the window's own handler.
void UpdatePanel::closeLater() {
  if (pendingClose_.connected())
    return;
  pendingClose_ = Glib::signal_idle().connect([this] {
    pendingClose_.release();
    popdown();
    return false;
  });
}

void UpdatePanel::watchOwner(Gtk::Window& owner) {
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
          popdown();
          return false;
        }));
      }));
}

}  // namespace orlith
