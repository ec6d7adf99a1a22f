#include "signin/BrowserWebAuthSession.h"

#include <utility>

#include "base/MainQueue.h"

namespace orlith {

BrowserWebAuthSession::BrowserWebAuthSession(Url url, std::optional<PresentationAnchor> anchor,
                                             Completion completion, UriOpener& opener,
                                             AuthCallbackRoute& route,
                                             std::unique_ptr<ProviderWaitingSheet> sheet)
    : url_(std::move(url)),
      anchor_(anchor),
      completion_(std::move(completion)),
      opener_(opener),
      route_(route),
      sheet_(std::move(sheet)) {}

BrowserWebAuthSession::~BrowserWebAuthSession() {
  *alive_ = false;
  stopWaiting();
}

bool BrowserWebAuthSession::start() {
  if (phase_ != Phase::idle)
    return false;
  phase_ = Phase::waiting;
  listen();
  showSheet();
  if (!opener_.open(url_.absoluteString())) {
    phase_ = Phase::ended;
    stopWaiting();
    return false;
  }
  return true;
}

void BrowserWebAuthSession::resumeWaiting() {
  if (phase_ == Phase::waiting)
    showSheet();
}

void BrowserWebAuthSession::listen() {
  std::weak_ptr<bool> alive = alive_;
  registration_ = route_.waitForCallback([this, alive](const Url& link) {
    if (alive.lock())
      received(link);
  });
}

void BrowserWebAuthSession::showSheet() {
  if (!sheet_ || sheetShown_)
    return;
  sheetShown_ = true;
  std::weak_ptr<bool> alive = alive_;
  sheet_->show(url_.host().value_or(""), anchor_, [this, alive] {
    if (alive.lock())
      finish(WebAuthError::cancelled());
  });
}

void BrowserWebAuthSession::received(const Url& link) {
  if (phase_ != Phase::waiting)
    return;
  // The route has let go of the registration that brought the link; the next one may be the
  // person's own.
  listen();
  closeSheet();
  complete(link, std::nullopt);
}

void BrowserWebAuthSession::cancel() {
  // A completion already posted is dropped too.
  *alive_ = false;
  alive_ = std::make_shared<bool>(true);
  if (phase_ == Phase::ended)
    return;
  phase_ = Phase::ended;
  stopWaiting();
}

void BrowserWebAuthSession::finish(WebAuthError error) {
  if (phase_ != Phase::waiting)
    return;
  phase_ = Phase::ended;
  stopWaiting();
  complete(std::nullopt, std::move(error));
}

void BrowserWebAuthSession::complete(std::optional<Url> url, std::optional<WebAuthError> error) {
  // Always on a later turn, and not at all once the session is gone or cancelled.
  MainQueue::shared().post([alive = std::weak_ptr<bool>(alive_), completion = completion_,
                            url = std::move(url), error = std::move(error)] {
    std::shared_ptr<bool> live = alive.lock();
    if (live && *live)
      completion(url, error);
  });
}

void BrowserWebAuthSession::stopWaiting() {
  registration_.reset();
  closeSheet();
}

void BrowserWebAuthSession::closeSheet() {
  if (sheet_ && std::exchange(sheetShown_, false))
    sheet_->close();
}

BrowserWebAuthSessionFactory::BrowserWebAuthSessionFactory(UriOpener& opener,
                                                           AuthCallbackRoute& route,
                                                           SheetMaker makeSheet)
    : opener_(opener), route_(route), makeSheet_(std::move(makeSheet)) {}

std::unique_ptr<WebAuthSession> BrowserWebAuthSessionFactory::makeSession(
    Url url, std::string, std::optional<PresentationAnchor> anchor,
    WebAuthSession::Completion completion) {
  return std::make_unique<BrowserWebAuthSession>(std::move(url), anchor, std::move(completion),
                                                 opener_, route_,
                                                 makeSheet_ ? makeSheet_() : nullptr);
}

}  // namespace orlith
