// The chip measures tabWidth × 26, places its two buttons by the presentation's frames and
// draws its background itself; its buttons are unstyled and take their tint from the chip.
#include "workspace/window/gtk/WorkspaceTabChipView.h"

#include <gtkmm/snapshot.h>
#include <gtkmm/window.h>

#include <cmath>

#include "base/LocalizedStrings.h"
#include "workspace/surface/gtk/GdkColour.h"
#include "workspace/window/gtk/WorkspaceChipStyleSheet.h"

namespace orlith {
namespace {

const std::string& closeTabText() {
  static const std::string text = localizedString("Close tab");
  return text;
}

Gtk::Allocation pixels(const ChipFrame& frame) {
  const int x = static_cast<int>(std::lround(frame.x));
  const int y = static_cast<int>(std::lround(frame.y));
  const int right = static_cast<int>(std::lround(frame.x + frame.width));
  const int bottom = static_cast<int>(std::lround(frame.y + frame.height));
  return Gtk::Allocation(x, y, std::max(0, right - x), std::max(0, bottom - y));
}

void setLabel(Gtk::Widget& widget, const std::string& label) {
  gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                 label.c_str(), -1);
}

}  // namespace

WorkspaceTabChipView::WorkspaceTabChipView()
    : Glib::ObjectBase("WorkspaceTabChipView"),
      Gtk::Widget(),
      titleLabel_("Orlith"),
      motion_(Gtk::EventControllerMotion::create()) {
  WorkspaceChipStyleSheet::ensureInstalled(get_display());
  add_css_class(kWorkspaceTabChipClass);
  set_overflow(Gtk::Overflow::VISIBLE);

  // The role must be set before the button has a parent: once shown, GTK keeps the old one.
  g_object_set(titleButton_.gobj(), "accessible-role", GTK_ACCESSIBLE_ROLE_RADIO, nullptr);
  titleLabel_.set_ellipsize(Pango::EllipsizeMode::END);
  titleLabel_.set_single_line_mode(true);
  titleLabel_.set_xalign(0);
  titleButton_.set_child(titleLabel_);
  titleButton_.add_css_class("title");
  titleButton_.signal_clicked().connect([this] {
    if (auto action = onSelect_)
      action();
  });

  closeImage_.set_from_icon_name("window-close-symbolic");
  closeImage_.set_pixel_size(16);
  gtk_accessible_update_state(GTK_ACCESSIBLE(closeImage_.gobj()), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE,
                              -1);
  closeButton_.set_child(closeImage_);
  closeButton_.add_css_class("close");
  closeButton_.signal_clicked().connect([this] {
    if (auto action = onClose_)
      action();
  });

  titleButton_.set_parent(*this);
  closeButton_.set_parent(*this);

  motion_->signal_enter().connect([this](double, double) {
    pointerInside_ = true;
    present();
  });
  motion_->signal_leave().connect([this] {
    pointerInside_ = false;
    present();
  });
  add_controller(motion_);
  rootConnection_ = property_root().signal_changed().connect([this] { watchRoot(); });
  present();
}

WorkspaceTabChipView::~WorkspaceTabChipView() {
  // Leaving the parent changes the root after this object is gone: no handler may run then.
  rootConnection_.disconnect();
  activeConnection_.disconnect();
  titleButton_.unparent();
  closeButton_.unparent();
}

void WorkspaceTabChipView::update(const std::string& title, bool selected, bool canClose,
                                  bool isDark, double width, std::function<void()> onSelect,
                                  std::function<void()> onClose) {
  title_ = title;
  selected_ = selected;
  canClose_ = canClose;
  dark_ = isDark;
  onSelect_ = std::move(onSelect);
  onClose_ = std::move(onClose);
  if (width != tabWidth_) {
    tabWidth_ = width;
    queue_resize();
  }
  present();
}

void WorkspaceTabChipView::watchRoot() {
  activeConnection_.disconnect();
  if (auto* window = dynamic_cast<Gtk::Window*>(get_root()))
    activeConnection_ =
        window->property_is_active().signal_changed().connect([this] { present(); });
  present();
}

void WorkspaceTabChipView::present() {
  const auto* window = dynamic_cast<const Gtk::Window*>(get_root());
  WorkspaceTabChipInput input;
  input.title = title_;
  input.selected = selected_;
  input.canClose = canClose_;
  input.isDark = dark_;
  input.pointerInside = pointerInside_;
  input.windowActive = window && window->is_active();
  input.width = get_width() > 0 ? get_width() : tabWidth_;
  input.height = get_height() > 0 ? get_height() : kWorkspaceTabChipHeight;
  presentation_ = presentWorkspaceTabChip(input, closeTabText());

  titleLabel_.set_text(presentation_.displayTitle);
  titleButton_.set_tooltip_text(presentation_.displayTitle);
  setLabel(titleButton_, presentation_.displayTitle);
  gtk_accessible_update_state(
      GTK_ACCESSIBLE(titleButton_.gobj()), GTK_ACCESSIBLE_STATE_CHECKED,
      presentation_.checked ? GTK_ACCESSIBLE_TRISTATE_TRUE : GTK_ACCESSIBLE_TRISTATE_FALSE, -1);
  setLabel(closeButton_, presentation_.closeAccessibleLabel);
  closeButton_.set_tooltip_text(presentation_.closeTooltip);
  closeButton_.set_visible(presentation_.closeVisible);

  if (dark_) {
    add_css_class("dark");
    remove_css_class("light");
  } else {
    add_css_class("light");
    remove_css_class("dark");
  }
  if (selected_)
    add_css_class("selected");
  else
    remove_css_class("selected");
  queue_draw();
}

Gtk::SizeRequestMode WorkspaceTabChipView::get_request_mode_vfunc() const {
  return Gtk::SizeRequestMode::CONSTANT_SIZE;
}

void WorkspaceTabChipView::measure_vfunc(Gtk::Orientation orientation, int, int& minimum,
                                         int& natural, int& minimumBaseline,
                                         int& naturalBaseline) const {
  const double size =
      orientation == Gtk::Orientation::HORIZONTAL ? tabWidth_ : kWorkspaceTabChipHeight;
  minimum = natural = std::max(0, static_cast<int>(std::lround(size)));
  minimumBaseline = naturalBaseline = -1;
}

void WorkspaceTabChipView::size_allocate_vfunc(int width, int height, int) {
  // Only the frames depend on the size; the rest was applied when the values came.
  WorkspaceTabChipInput input;
  input.width = width;
  input.height = height;
  const WorkspaceTabChipPresentation sized = presentWorkspaceTabChip(input, closeTabText());
  presentation_.titleFrame = sized.titleFrame;
  presentation_.closeFrame = sized.closeFrame;
  titleButton_.size_allocate(pixels(presentation_.titleFrame), -1);
  closeButton_.size_allocate(pixels(presentation_.closeFrame), -1);
}

void WorkspaceTabChipView::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  GtkSnapshot* raw = snapshot->gobj();
  const float width = static_cast<float>(get_width());
  const float height = static_cast<float>(get_height());

  const GdkRGBA fill = gdkColour(presentation_.fill);
  if (fill.alpha > 0 && width > 1 && height > 1) {
    graphene_rect_t inner = GRAPHENE_RECT_INIT(0.5f, 0.5f, width - 1, height - 1);
    GskRoundedRect rounded;
    gsk_rounded_rect_init_from_rect(&rounded, &inner, 7);
    gtk_snapshot_push_rounded_clip(raw, &rounded);
    gtk_snapshot_append_color(raw, &fill, &inner);
    gtk_snapshot_pop(raw);
  }
  const GdkRGBA outline = gdkColour(presentation_.outline);
  if (outline.alpha > 0) {
    graphene_rect_t bounds = GRAPHENE_RECT_INIT(0, 0, width, height);
    GskRoundedRect rounded;
    gsk_rounded_rect_init_from_rect(&rounded, &bounds, 7.5f);
    const float widths[4] = {1, 1, 1, 1};
    const GdkRGBA colours[4] = {outline, outline, outline, outline};
    gtk_snapshot_append_border(raw, &rounded, widths, colours);
  }
  snapshot_child(titleButton_, snapshot);
  snapshot_child(closeButton_, snapshot);
}

}  // namespace orlith
