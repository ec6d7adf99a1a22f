// The two-factor sheet: a modal window of fixed width over the sign-in window, bound to its
// TwoFactorChallengeView. A close from the window manager counts as cancel.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <memory>

#include "signin/TwoFactorChallengeView.h"
#include "signin/gtk/AuthInputRow.h"
#include "signin/gtk/AuthPrimaryButtonLabel.h"

namespace orlith {

class TwoFactorChallengeSheet : public Gtk::Window {
 public:
  using Localizer = std::function<std::string(const std::string&)>;

  static constexpr int kWidth = 400;

  // `onDismissed` runs once when the sheet goes, for whatever reason.
  TwoFactorChallengeSheet(std::shared_ptr<TwoFactorChallengeView> view, const Localizer& localize,
                          std::function<void()> onDismissed);
  ~TwoFactorChallengeSheet() override;

  TwoFactorChallengeView& view() { return *view_; }
  Gtk::Entry& codeEntry() { return code_; }
  Gtk::Button& verifyButton() { return verify_; }
  Gtk::Button& cancelButton() { return cancel_; }
  Gtk::Label& errorLabel() { return error_; }

  // Closes the sheet without cancelling (the challenge ended elsewhere).
  void dismiss();

 private:
  void refresh();
  bool onCloseRequest();

  std::shared_ptr<TwoFactorChallengeView> view_;
  std::function<void()> onDismissed_;
  Gtk::Box column_{Gtk::Orientation::VERTICAL, 20};
  Gtk::Box header_{Gtk::Orientation::VERTICAL, 8};
  Gtk::Label title_;
  Gtk::Label subtitle_;
  Gtk::Entry code_;
  std::unique_ptr<AuthInputRow> codeRow_;
  Gtk::Label error_;
  Gtk::Button verify_;
  std::unique_ptr<AuthPrimaryButtonLabel> verifyLabel_;
  Gtk::Button cancel_;
  sigc::connection codeChanged_;
  sigc::connection viewChanged_;
  sigc::connection dismissRequested_;
  bool dismissed_ = false;
};

}  // namespace orlith
