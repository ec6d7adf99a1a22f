// Provider sign-in in the user's default browser: the page opens there, a small waiting sheet
// (host, spinner, Cancel) stands in the app, and every callback link that comes back through the
// app's link route is handed on until the session ends. Providers refuse embedded web views,
// and the sheet keeps an abandoned browser tab from leaving the sign-in buttons disabled.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/UriOpener.h"
#include "signin/AuthCallbackRoute.h"
#include "signin/WebAuthSession.h"

namespace orlith {

// The waiting sheet, drawn by the toolkit.
class ProviderWaitingSheet {
 public:
  virtual ~ProviderWaitingSheet() = default;
  // `onCancel` runs when the user presses Cancel or closes the sheet, not after close().
  virtual void show(const std::string& host, std::optional<PresentationAnchor> anchor,
                    std::function<void()> onCancel) = 0;
  virtual void close() = 0;
};

class BrowserWebAuthSession final : public WebAuthSession {
 public:
  BrowserWebAuthSession(Url url, std::optional<PresentationAnchor> anchor, Completion completion,
                        UriOpener& opener, AuthCallbackRoute& route,
                        std::unique_ptr<ProviderWaitingSheet> sheet);
  ~BrowserWebAuthSession() override;

  bool start() override;
  void resumeWaiting() override;
  void cancel() override;

 private:
  enum class Phase { idle, waiting, ended };

  void listen();
  void showSheet();
  void received(const Url& link);
  void finish(WebAuthError error);
  void complete(std::optional<Url> url, std::optional<WebAuthError> error);
  void stopWaiting();
  void closeSheet();

  Url url_;
  std::optional<PresentationAnchor> anchor_;
  Completion completion_;
  UriOpener& opener_;
  AuthCallbackRoute& route_;
  std::unique_ptr<ProviderWaitingSheet> sheet_;
  Phase phase_ = Phase::idle;
  bool sheetShown_ = false;
  AuthCallbackRoute::Registration registration_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

class BrowserWebAuthSessionFactory final : public WebAuthSessionFactory {
 public:
  using SheetMaker = std::function<std::unique_ptr<ProviderWaitingSheet>()>;

  BrowserWebAuthSessionFactory(UriOpener& opener, AuthCallbackRoute& route, SheetMaker makeSheet);

  std::unique_ptr<WebAuthSession> makeSession(Url url, std::string callbackScheme,
                                              std::optional<PresentationAnchor> anchor,
                                              WebAuthSession::Completion completion) override;

 private:
  UriOpener& opener_;
  AuthCallbackRoute& route_;
  SheetMaker makeSheet_;
};

}  // namespace orlith
