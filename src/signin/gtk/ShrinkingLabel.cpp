// The label is laid out at the width its scaled text needs and drawn scaled about its centre.
#include "signin/gtk/ShrinkingLabel.h"

#include <cmath>

#include "signin/TextFitting.h"

namespace orlith {

ShrinkingLabel::ShrinkingLabel(const Glib::ustring& text, double minimumScale)
    : label_(text), minimumScale_(minimumScale) {
  label_.set_single_line_mode(true);
  label_.set_ellipsize(Pango::EllipsizeMode::END);
  label_.set_parent(*this);
}

ShrinkingLabel::~ShrinkingLabel() {
  label_.unparent();
}

Gtk::SizeRequestMode ShrinkingLabel::get_request_mode_vfunc() const {
  return Gtk::SizeRequestMode::CONSTANT_SIZE;
}

void ShrinkingLabel::measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum,
                                   int& natural, int& minimumBaseline, int& naturalBaseline) const {
  label_.measure(orientation, forSize, minimum, natural, minimumBaseline, naturalBaseline);
  minimumBaseline = naturalBaseline = -1;
}

void ShrinkingLabel::size_allocate_vfunc(int width, int height, int) {
  int minimum = 0, natural = 0, ignored = 0;
  label_.measure(Gtk::Orientation::HORIZONTAL, -1, minimum, natural, ignored, ignored);
  scale_ = fittingScale(natural, width, minimumScale_);
  if (scale_ >= 1) {
    label_.size_allocate(Gtk::Allocation(0, 0, width, height), -1);
    return;
  }
  // Laid out wider by 1/scale, then drawn at scale: it covers exactly `width`, and what still
  // does not fit is truncated by the label itself.
  const int laidOutWidth = static_cast<int>(std::floor(width / scale_));
  graphene_point_t offset =
      GRAPHENE_POINT_INIT(static_cast<float>((width - laidOutWidth * scale_) / 2),
                          static_cast<float>(height * (1 - scale_) / 2));
  GskTransform* transform = gsk_transform_translate(nullptr, &offset);
  transform =
      gsk_transform_scale(transform, static_cast<float>(scale_), static_cast<float>(scale_));
  gtk_widget_allocate(GTK_WIDGET(label_.gobj()), laidOutWidth, height, -1, transform);
}

}  // namespace orlith
