// The General and About settings as state the widgets bind to: appearance, launch at login
// with its error line, diagnostics consent, the account section and the version line. The
// login item's file work runs off the main thread; the switch is busy meanwhile. Main thread
// only; held by shared_ptr so that work in flight never outlives it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/LoginItemState.h"
#include "base/Observable.h"
#include "base/Preferences.h"
#include "workspace/surface/OrlithAppearancePreference.h"

namespace orlith {

class LoginItem;
class WorkspaceSession;

class GeneralSettingsView : public std::enable_shared_from_this<GeneralSettingsView> {
  struct Passkey {};

 public:
  static constexpr const char* kDiagnosticsKey = "orlith.diagnostics";

  struct LoginItemResult {
    bool ok = true;
    int status = 0;
  };
  // Runs `job` away from the main thread and `done` with its result on the main thread.
  using RunOffMain = std::function<void(std::function<LoginItemResult()> job,
                                        std::function<void(LoginItemResult)> done)>;

  struct Dependencies {
    WorkspaceSession& session;
    Preferences& preferences;
    AppearanceSettings& appearance;
    // Shared with the jobs on the worker, which may finish after the settings are gone.
    std::shared_ptr<LoginItem> loginItem;
    RunOffMain runOffMain;
    // Stops every diagnostics event in flight.
    std::function<void()> cancelDiagnostics;
  };

  struct AccountSection {
    // The "Signed in as" row; absent without a non-empty e-mail.
    std::optional<std::string> email;
    friend bool operator==(const AccountSection&, const AccountSection&) = default;
  };

  static std::shared_ptr<GeneralSettingsView> create(Dependencies dependencies);
  GeneralSettingsView(Passkey, Dependencies dependencies);

  // Emitted after each change of the login item's state, busy flag or error line.
  ChangeSignal& changed() { return changed_; }

  OrlithAppearancePreference appearance() const;
  void setAppearance(OrlithAppearancePreference preference);

  LoginItemState loginItemState() const { return loginItemState_; }
  bool loginItemToggleOn() const;
  bool showsApprovalHint() const { return loginItemState_ == LoginItemState::requiresApproval; }
  // A change or a reading in flight: the switch does not act meanwhile.
  bool loginItemBusy() const { return busy_ > 0; }
  const std::optional<std::string>& loginItemError() const { return loginItemError_; }

  // Reads the status anew (on appearing).
  void refreshLoginItemState();
  // The app became active again: the status anew, and the error line cleared.
  void applicationDidBecomeActive();
  void loginItemToggleChanged(bool enable);

  bool diagnostics() const;
  // Stores the consent; turning it off stops the events in flight.
  void diagnosticsChanged(bool enabled);

  // Present only while signed in.
  std::optional<AccountSection> accountSection() const;
  void signOut();

  // "Version 1.0 (1)".
  static std::string versionLine(const std::string& appVersion, const std::string& buildVersion);

 private:
  void readStatus(std::function<void(GeneralSettingsView&)> after);

  WorkspaceSession& session_;
  Preferences& preferences_;
  AppearanceSettings& appearance_;
  std::shared_ptr<LoginItem> loginItem_;
  RunOffMain runOffMain_;
  std::function<void()> cancelDiagnostics_;
  LoginItemState loginItemState_ = LoginItemState::notRegistered;
  std::optional<std::string> loginItemError_;
  int busy_ = 0;
  ChangeSignal changed_;
};

}  // namespace orlith
