#include "signin/gtk/TwoFactorChallengeSheet.h"

#include "signin/gtk/AuthLinkButtonStyle.h"
#include "ui/AuthFilledButtonStyle.h"

namespace orlith {

TwoFactorChallengeSheet::TwoFactorChallengeSheet(std::shared_ptr<TwoFactorChallengeView> view,
                                                 const Localizer& localize,
                                                 std::function<void()> onDismissed)
    : view_(std::move(view)), onDismissed_(std::move(onDismissed)) {
  add_css_class("orlith-sheet");
  set_modal(true);
  set_resizable(false);
  set_default_size(kWidth, -1);
  set_title(localize("Two-factor authentication"));

  title_.set_text(localize("Two-factor authentication"));
  title_.add_css_class("orlith-sheet-title");
  title_.set_xalign(0);
  title_.set_wrap(true);
  gtk_accessible_update_property(GTK_ACCESSIBLE(title_.gobj()), GTK_ACCESSIBLE_PROPERTY_LEVEL, 1,
                                 -1);
  subtitle_.set_text(
      localize("Enter the 6-digit code from your authenticator app, or a recovery code."));
  subtitle_.add_css_class("orlith-subtitle");
  subtitle_.set_xalign(0);
  subtitle_.set_wrap(true);
  subtitle_.set_max_width_chars(1);
  header_.append(title_);
  header_.append(subtitle_);

  code_.set_placeholder_text("123456");
  code_.set_input_hints(Gtk::InputHints::NO_SPELLCHECK);
  codeRow_ = std::make_unique<AuthInputRow>(localize("Code"), code_);

  error_.add_css_class("orlith-error-line");
  error_.set_xalign(0);
  error_.set_wrap(true);

  verifyLabel_ = std::make_unique<AuthPrimaryButtonLabel>(localize("Verify"), false);
  verify_.set_child(*verifyLabel_);
  AuthFilledButtonStyle::apply(verify_);

  cancel_.set_label(localize("Cancel"));
  cancel_.add_css_class("orlith-text-13");
  cancel_.set_hexpand(true);
  AuthLinkButtonStyle(OrlithPalette::ink).apply(cancel_);

  column_.set_margin(28);
  column_.set_size_request(kWidth - 56, -1);
  column_.append(header_);
  column_.append(*codeRow_);
  column_.append(error_);
  column_.append(verify_);
  column_.append(cancel_);
  set_child(column_);

  codeChanged_ = code_.signal_changed().connect([this] { view_->setCode(code_.get_text()); });
  code_.signal_activate().connect([this] { view_->verify(); });
  verify_.signal_clicked().connect([this] { view_->verify(); });
  cancel_.signal_clicked().connect([this] { view_->cancel(); });
  viewChanged_ = view_->changed().connect([this] { refresh(); });
  dismissRequested_ = view_->dismissRequested().connect([this] { dismiss(); });
  signal_close_request().connect(sigc::mem_fun(*this, &TwoFactorChallengeSheet::onCloseRequest),
                                 false);
  signal_map().connect([this] { code_.grab_focus(); });
  refresh();
}

TwoFactorChallengeSheet::~TwoFactorChallengeSheet() {
  codeChanged_.disconnect();
  viewChanged_.disconnect();
  dismissRequested_.disconnect();
}

void TwoFactorChallengeSheet::refresh() {
  if (std::string(code_.get_text()) != view_->code()) {
    codeChanged_.block();
    code_.set_text(view_->code());
    codeChanged_.unblock();
  }
  std::optional<std::string> error = view_->errorLine();
  error_.set_visible(error.has_value());
  error_.set_text(error.value_or(""));
  verifyLabel_->setLoading(view_->isBusy());
  verify_.set_sensitive(!view_->isVerifyDisabled());
}

void TwoFactorChallengeSheet::dismiss() {
  if (dismissed_)
    return;
  dismissed_ = true;
  set_visible(false);
  if (onDismissed_)
    onDismissed_();
}

bool TwoFactorChallengeSheet::onCloseRequest() {
  if (!dismissed_)
    view_->cancel();
  return true;  // the owner destroys the sheet
}

}  // namespace orlith
