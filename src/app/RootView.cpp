#include "app/RootView.h"

#include "session/DeepLinks.h"

namespace orlith {

RootScreen RootView::screenFor(SessionState::Kind kind) {
  switch (kind) {
    case SessionState::Kind::loading:
      return RootScreen::launch;
    case SessionState::Kind::unauthenticated:
      return RootScreen::signIn;
    case SessionState::Kind::recoveryUnavailable:
      return RootScreen::recovery;
    case SessionState::Kind::authenticated:
      return RootScreen::workspace;
  }
  return RootScreen::launch;
}

RootView::RootView(Dependencies dependencies)
    : session_(dependencies.session),
      tabs_(dependencies.tabs),
      pendingWindowCommands_(dependencies.pendingWindowCommands),
      clock_(dependencies.clock),
      activateApplication_(std::move(dependencies.activateApplication)),
      actedKind_(session_.state().kind),
      screen_(screenFor(actedKind_)),
      sessionChange_([this] { sessionChanged(); }) {
  sessionConnection_ = session_.changed().connect([this] { sessionChange_.schedule(); });
}

RootView::~RootView() = default;

void RootView::handleAppear() {
  if (hasAppeared_)
    return;
  hasAppeared_ = true;
  if (session_.state().isAuthenticated()) {
    tabs_.prepareSession(session_.currentSession());
    tabs_.deliverPendingWindowCommands(session_.sessionRevision());
  }
}

void RootView::handleOpenURL(const Url& url) {
  if (!isBillingReturnURL(url))
    return;
  pendingBillingReturn_ = true;
  if (activateApplication_)
    activateApplication_();
  handleBillingReturn();
}

void RootView::handleBillingReturn() {
  if (!pendingBillingReturn_ || !session_.state().isAuthenticated())
    return;
  pendingBillingReturn_ = false;
  tabs_.routeDesktopCommand("billing-return", session_.sessionRevision());
}

void RootView::sessionChanged() {
  const SessionState::Kind kind = session_.state().kind;
  if (kind == actedKind_)
    return;
  const SessionState::Kind previous = actedKind_;
  actedKind_ = kind;
  sessionStateChanged(previous, kind);
  screen_ = screenFor(kind);
  screenChanged_.emit(screen_);
}

void RootView::sessionStateChanged(SessionState::Kind from, SessionState::Kind to) {
  if (to == SessionState::Kind::authenticated) {
    tabs_.prepareSession(session_.currentSession());
  } else if (to == SessionState::Kind::unauthenticated) {
    // Emptied whatever revision they belong to.
    (void)pendingWindowCommands_.take(-1, clock_.monotonicNow());
    // A link that came while loading or signed out waits for the next sign-in.
    if (from == SessionState::Kind::authenticated ||
        from == SessionState::Kind::recoveryUnavailable) {
      pendingBillingReturn_ = false;
    }
    tabs_.resetSession();
  }
  handleBillingReturn();
}

std::string RootView::recoveryTitle() const {
  return session_.currentSession() ? "Couldn’t verify your connection"
                                   : "Couldn’t read your saved sign-in";
}

std::string RootView::recoveryMessage() const {
  return session_.currentSession()
             ? "Your saved sign-in is still on this computer. Reconnect and try again."
             : "Your saved credential has been kept. Unlock your keyring and try again, or sign "
               "out to start again.";
}

}  // namespace orlith
