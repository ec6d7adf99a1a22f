// The panel's layout and its per-snapshot update.
#include "update/client/gtk/UpdatePopoverContent.h"

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

UpdatePopoverContent::UpdatePopoverContent() : Gtk::Box(Gtk::Orientation::VERTICAL) {
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
  closeButton_.set_size_request(kCloseSize, kCloseSize);
  closeButton_.set_valign(Gtk::Align::CENTER);
  closeButton_.set_tooltip_text(text(kPanelCloseTooltip));
  setAccessible(closeButton_, GTK_ACCESSIBLE_PROPERTY_LABEL, text(kPanelCloseLabel));
  closeButton_.signal_clicked().connect([this] { dismiss(); });
  header_.set_spacing(kRowSpacing);
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
  primary_.set_size_request(kPrimaryMinimumWidth, kActionHeight);
  primary_.signal_clicked().connect([this] { performPrimary(); });
  later_.set_label(text(kPanelLaterTitle));
  later_.signal_clicked().connect([this] { dismiss(); });
  footer_.set_spacing(kRowSpacing);
  footer_.append(primary_);
  footer_.append(later_);

  set_spacing(kRowSpacing);
  set_margin_top(kInsetTop);
  set_margin_bottom(kInsetBottom);
  set_margin_start(kInsetSide);
  set_margin_end(kInsetSide);
  set_size_request(kWidth - 2 * kInsetSide, -1);
  header_.set_margin_bottom(kGroupGap);
  error_.set_margin_bottom(kGroupGap);
  for (Gtk::Widget* row : std::initializer_list<Gtk::Widget*>{&header_, &heading_, &detail_,
                                                              &progressGroup_, &error_, &footer_})
    append(*row);
}

void UpdatePopoverContent::apply(const PanelPresentation& panel) {
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

void UpdatePopoverContent::dismiss() {
  if (closeAction)
    closeAction();
}

void UpdatePopoverContent::performPrimary() {
  if (primary_.get_sensitive() && primaryAction)
    primaryAction();
}

}  // namespace orlith
