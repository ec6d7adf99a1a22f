// Settings state and its launch-at-login round trips.
#include "app/GeneralSettingsView.h"

#include <exception>
#include <utility>

#include "app/LoginItem.h"
#include "base/LocalizedStrings.h"
#include "workspace/window/WorkspaceSession.h"

namespace orlith {

std::shared_ptr<GeneralSettingsView> GeneralSettingsView::create(Dependencies dependencies) {
  return std::make_shared<GeneralSettingsView>(Passkey{}, std::move(dependencies));
}

GeneralSettingsView::GeneralSettingsView(Passkey, Dependencies dependencies)
    : session_(dependencies.session),
      preferences_(dependencies.preferences),
      appearance_(dependencies.appearance),
      loginItem_(std::move(dependencies.loginItem)),
      runOffMain_(std::move(dependencies.runOffMain)),
      cancelDiagnostics_(std::move(dependencies.cancelDiagnostics)) {}

OrlithAppearancePreference GeneralSettingsView::appearance() const {
  return appearance_.preference();
}

void GeneralSettingsView::setAppearance(OrlithAppearancePreference preference) {
  if (preference == appearance_.preference())
    return;
  try {
    appearance_.setPreference(preference);
  } catch (const std::exception&) {
    // The stored choice stays; the picker follows the stored choice back.
  }
}

bool GeneralSettingsView::loginItemToggleOn() const {
  return loginItemState_ == LoginItemState::enabled ||
         loginItemState_ == LoginItemState::requiresApproval;
}

void GeneralSettingsView::readStatus(std::function<void(GeneralSettingsView&)> after) {
  ++busy_;
  changed_.emit();
  std::weak_ptr<GeneralSettingsView> weak = weak_from_this();
  runOffMain_(
      [item = loginItem_] {
        return LoginItemResult{true, item->status()};
      },
      [weak, after = std::move(after)](LoginItemResult result) {
        auto self = weak.lock();
        if (!self)
          return;
        --self->busy_;
        self->loginItemState_ = loginItemStateFromStatus(result.status);
        if (after)
          after(*self);
        self->changed_.emit();
      });
}

void GeneralSettingsView::refreshLoginItemState() {
  readStatus(nullptr);
}

void GeneralSettingsView::applicationDidBecomeActive() {
  readStatus([](GeneralSettingsView& self) { self.loginItemError_.reset(); });
}

void GeneralSettingsView::loginItemToggleChanged(bool enable) {
  ++busy_;
  changed_.emit();
  std::weak_ptr<GeneralSettingsView> weak = weak_from_this();
  runOffMain_(
      [item = loginItem_, enable] {
        const bool ok = setLoginItemEnabled(*item, enable);
        return LoginItemResult{ok, item->status()};
      },
      [weak](LoginItemResult result) {
        auto self = weak.lock();
        if (!self)
          return;
        --self->busy_;
        self->loginItemState_ = loginItemStateFromStatus(result.status);
        if (result.ok)
          self->loginItemError_.reset();
        else
          self->loginItemError_ =
              localizedString("Couldn't change launch at login. Check your autostart settings.");
        self->changed_.emit();
      });
}

bool GeneralSettingsView::diagnostics() const {
  return preferences_.boolean(kDiagnosticsKey).value_or(false);
}

void GeneralSettingsView::diagnosticsChanged(bool enabled) {
  if (enabled != diagnostics()) {
    try {
      preferences_.setBoolean(kDiagnosticsKey, enabled);
    } catch (const std::exception&) {
      // The consent stays as stored; the switch follows the stored value back.
    }
  }
  if (!enabled && cancelDiagnostics_)
    cancelDiagnostics_();
}

std::optional<GeneralSettingsView::AccountSection> GeneralSettingsView::accountSection() const {
  const SessionState& state = session_.state();
  if (!state.isAuthenticated())
    return std::nullopt;
  AccountSection section;
  if (state.email && !state.email->empty())
    section.email = state.email;
  return section;
}

void GeneralSettingsView::signOut() {
  session_.signOut();
}

std::string GeneralSettingsView::versionLine(const std::string& appVersion,
                                             const std::string& buildVersion) {
  return localizedString("Version ") + appVersion + " (" + buildVersion + ")";
}

}  // namespace orlith
