// The rules of a main window's content: which screen the session state calls for (launch,
// sign-in, recovery, workspace), keeping the window's tabs in step with the session, and the
// billing-return link, which waits for a signed-in session. State changes are coalesced to one
// per main-loop turn and compared by kind, so a state that passes within a turn builds nothing.
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <sigc++/sigc++.h>

#include "base/Clock.h"
#include "base/Observable.h"
#include "base/Url.h"
#include "session/SessionState.h"
#include "session/StoredSession.h"
#include "workspace/surface/PendingWorkspaceWindowCommands.h"

namespace orlith {

enum class RootScreen { launch, signIn, recovery, workspace };

class RootView {
 public:
  // What the window's content uses of the account session.
  class Session {
   public:
    virtual ~Session() = default;
    virtual const SessionState& state() const = 0;
    virtual const std::optional<StoredSession>& currentSession() const = 0;
    virtual std::int64_t sessionRevision() const = 0;
    // Emitted synchronously after each change; the handler does not call back.
    virtual ChangeSignal& changed() = 0;
    virtual void retryRecovery() = 0;
    virtual void signOut() = 0;
  };

  // What it uses of the window's tabs model.
  class Tabs {
   public:
    virtual ~Tabs() = default;
    virtual void prepareSession(const std::optional<StoredSession>& session) = 0;
    virtual void deliverPendingWindowCommands(std::int64_t sessionRevision) = 0;
    virtual void resetSession() = 0;
    // Opens another main window when the command is parked for one.
    virtual void routeDesktopCommand(std::string_view type, std::int64_t sessionRevision) = 0;
  };

  struct Dependencies {
    Session& session;
    Tabs& tabs;
    PendingWorkspaceWindowCommands& pendingWindowCommands;
    const Clock& clock;
    // Brings the application to the front.
    std::function<void()> activateApplication;
  };

  static RootScreen screenFor(SessionState::Kind kind);

  explicit RootView(Dependencies dependencies);
  RootView(const RootView&) = delete;
  RootView& operator=(const RootView&) = delete;
  ~RootView();

  RootScreen screen() const { return screen_; }
  // After the screen changed (at most once per turn).
  sigc::signal<void(RootScreen)>& screenChanged() { return screenChanged_; }

  // Once per window, the first time its content is shown.
  void handleAppear();
  bool hasAppeared() const { return hasAppeared_; }
  // A link of the app's scheme for this window; only the billing return does anything.
  void handleOpenURL(const Url& url);
  bool pendingBillingReturn() const { return pendingBillingReturn_; }

  // The update indicator stands in the window's corner on every screen but the workspace.
  bool showsUpdateIndicator() const { return screen_ != RootScreen::workspace; }

  // The recovery screen (keys of the string table).
  std::string recoveryTitle() const;
  std::string recoveryMessage() const;
  void retryRecovery() { session_.retryRecovery(); }
  void signOut() { session_.signOut(); }

 private:
  void sessionChanged();
  void sessionStateChanged(SessionState::Kind from, SessionState::Kind to);
  void handleBillingReturn();

  Session& session_;
  Tabs& tabs_;
  PendingWorkspaceWindowCommands& pendingWindowCommands_;
  const Clock& clock_;
  std::function<void()> activateApplication_;

  SessionState::Kind actedKind_;
  RootScreen screen_;
  bool hasAppeared_ = false;
  bool pendingBillingReturn_ = false;
  CoalescedCallback sessionChange_;
  ScopedConnection sessionConnection_;
  sigc::signal<void(RootScreen)> screenChanged_;
};

}  // namespace orlith
