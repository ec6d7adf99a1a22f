// Texts come from the container rules; only the title and the button are localizable.
#include "workspace/window/gtk/WorkspaceErrorView.h"

#include "base/LocalizedStrings.h"
#include "ui/AuthFilledButtonStyle.h"
#include "workspace/window/gtk/WorkspaceViewStyle.h"

namespace orlith {

WorkspaceErrorView::WorkspaceErrorView(std::function<void()> onRetry)
    : Gtk::Box(Gtk::Orientation::VERTICAL),
      onRetry_(std::move(onRetry)),
      column_(Gtk::Orientation::VERTICAL, 16),
      texts_(Gtk::Orientation::VERTICAL, 6),
      clamp_(kMaximumWidth) {
  add_css_class(kCanvasClass);
  add_css_class(kErrorViewClass);
  set_hexpand(true);
  set_vexpand(true);
  clamp_.set_valign(Gtk::Align::CENTER);
  clamp_.set_vexpand(true);
  clamp_.set_margin(kPadding);
  icon_.set_halign(Gtk::Align::CENTER);

  icon_.add_css_class("icon");
  // A size icon themes ship as a bitmap: any other is drawn from SVG, which loads a decoder of
  // several megabytes into the process for one glyph.
  icon_.set_pixel_size(32);
  title_.add_css_class("title");
  title_.set_justify(Gtk::Justification::CENTER);
  title_.set_wrap(true);
  detail_.add_css_class("detail");
  detail_.set_justify(Gtk::Justification::CENTER);
  detail_.set_wrap(true);
  detail_.set_wrap_mode(Pango::WrapMode::WORD_CHAR);
  texts_.append(title_);
  texts_.append(detail_);

  reload_.set_label(localizedString(WorkspaceErrorContent::kReloadLabel));
  reload_.set_size_request(kButtonWidth, -1);
  reload_.set_halign(Gtk::Align::CENTER);
  AuthFilledButtonStyle::apply(reload_);
  reload_.signal_clicked().connect([this] {
    if (onRetry_)
      onRetry_();
  });

  column_.append(icon_);
  column_.append(texts_);
  column_.append(reload_);
  clamp_.setChild(column_);
  append(clamp_);
  show(false, std::nullopt);
}

void WorkspaceErrorView::show(bool isOffline, const std::optional<std::string>& detail) {
  content_ = WorkspaceErrorContent::make(isOffline, detail);
  icon_.set_from_icon_name(content_.iconName);
  title_.set_text(localizedString(content_.title));
  detail_.set_text(content_.detail);
}

}  // namespace orlith
