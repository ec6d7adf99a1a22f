#include "signin/gtk/GtkProviderWaitingSheet.h"

#include "signin/gtk/AuthLinkButtonStyle.h"
#include "ui/OnScreenSpinner.h"

namespace orlith {

namespace {
Gtk::Window* shownSheet = nullptr;
}  // namespace

class GtkProviderWaitingSheet::Window : public Gtk::Window {
 public:
  Window(const Localizer& localize, const std::string& host, std::function<void()> onCancel)
      : onCancel_(std::move(onCancel)) {
    add_css_class("orlith-sheet");
    set_modal(true);
    set_resizable(false);
    set_title(host);
    host_.set_text(host);
    host_.add_css_class("orlith-sheet-title");
    opening_.set_text(localize("Opening…"));
    opening_.add_css_class("orlith-subtitle");
    spinner_.setTurning(true);
    spinner_.set_size_request(24, 24);
    cancel_.set_label(localize("Cancel"));
    cancel_.add_css_class("orlith-text-13");
    AuthLinkButtonStyle(OrlithPalette::ink).apply(cancel_);
    column_.set_margin(28);
    column_.set_size_request(280, -1);
    column_.append(host_);
    column_.append(spinner_);
    column_.append(opening_);
    column_.append(cancel_);
    set_child(column_);
    cancel_.signal_clicked().connect([this] { cancelled(); });
    signal_close_request().connect(
        [this] {
          cancelled();
          return true;
        },
        false);
  }

  Gtk::Button& cancelButton() { return cancel_; }

 private:
  void cancelled() {
    // The session closes the sheet in return; the callback may destroy this window.
    if (auto cancel = std::exchange(onCancel_, nullptr))
      cancel();
  }

  std::function<void()> onCancel_;
  Gtk::Box column_{Gtk::Orientation::VERTICAL, 14};
  Gtk::Label host_;
  OnScreenSpinner spinner_;
  Gtk::Label opening_;
  Gtk::Button cancel_;
};

GtkProviderWaitingSheet::GtkProviderWaitingSheet(Localizer localize)
    : localize_(std::move(localize)) {}

GtkProviderWaitingSheet::~GtkProviderWaitingSheet() {
  close();
}

void GtkProviderWaitingSheet::show(const std::string& host,
                                   std::optional<PresentationAnchor> anchor,
                                   std::function<void()> onCancel) {
  close();
  window_ = std::make_unique<Window>(localize_, host, std::move(onCancel));
  if (anchor && anchor->window != nullptr) {
    window_->set_transient_for(
        *const_cast<Gtk::Window*>(static_cast<const Gtk::Window*>(anchor->window)));
  }
  shownSheet = window_.get();
  window_->present();
}

void GtkProviderWaitingSheet::close() {
  if (!window_)
    return;
  if (shownSheet == window_.get())
    shownSheet = nullptr;
  // Destroyed on a later turn: close() may run inside the window's own button handler.
  Window* window = window_.release();
  window->set_visible(false);
  Glib::signal_idle().connect_once([window] { delete window; });
}

Gtk::Window* GtkProviderWaitingSheet::openSheet() {
  return shownSheet;
}

}  // namespace orlith
