// The observable model of one workspace tab: load state for the views, the tab's web view
// (held weakly), its first address, and its queue of desktop commands with their delivery.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "base/Observable.h"
#include "base/Scheduler.h"
#include "base/Task.h"
#include "base/Url.h"
#include "session/OrlithEnvironment.h"
#include "workspace/surface/PendingDesktopCommands.h"
#include "workspace/surface/WebEngineView.h"

namespace orlith {

class WorkspaceModel : public std::enable_shared_from_this<WorkspaceModel> {
  struct Passkey {};

 public:
  static constexpr std::string_view kDefaultPageTitle = "Orlith Workspace";
  static constexpr int kMaxDeliveryRounds = 120;
  static constexpr std::chrono::milliseconds kDeliveryRetryDelay{500};

  // `initialURL` is kept when it is a recoverable, unambiguous workspace address of the
  // environment's origin (query and fragment dropped); otherwise, or without one, the tab
  // opens origin + "/app". Delivery waits go through `scheduler`, which must outlive the model.
  static std::shared_ptr<WorkspaceModel> create(OrlithEnvironment environment,
                                                std::optional<Url> initialURL,
                                                Scheduler& scheduler);
  WorkspaceModel(Passkey, OrlithEnvironment environment, std::optional<Url> initialURL,
                 Scheduler& scheduler);
  ~WorkspaceModel();
  WorkspaceModel(const WorkspaceModel&) = delete;
  WorkspaceModel& operator=(const WorkspaceModel&) = delete;

  // Emitted after each change of a published property.
  ChangeSignal& changed() { return changed_; }

  const std::string& id() const { return id_; }
  const OrlithEnvironment& environment() const { return environment_; }
  const Url& initialURL() const { return initialURL_; }
  // The page the tab showed when its web view went away becomes the one a new web view opens
  // (and the one saved for the tab while it has none). Kept only when it is a recoverable,
  // unambiguous workspace address of the origin, as an initial address must be; otherwise the
  // earlier one stays. Returns whether it was kept.
  bool rememberLocation(const Url& location);
  // origin + "/app", or the origin itself when that text does not parse.
  Url appPageURL() const;

  // Published.
  bool isLoading() const { return isLoading_; }
  bool didFailToLoad() const { return didFailToLoad_; }
  bool isOffline() const { return isOffline_; }
  bool canGoBack() const { return canGoBack_; }
  bool canGoForward() const { return canGoForward_; }
  bool hasLoadedOnce() const { return hasLoadedOnce_; }
  bool isReady() const { return isReady_; }
  const std::optional<std::string>& readinessError() const { return readinessError_; }
  const std::string& pageTitle() const { return pageTitle_; }

  void setLoading(bool value) { assign(isLoading_, value); }
  void setDidFailToLoad(bool value) { assign(didFailToLoad_, value); }
  void setOffline(bool value) { assign(isOffline_, value); }
  void setCanGoBack(bool value) { assign(canGoBack_, value); }
  void setCanGoForward(bool value) { assign(canGoForward_, value); }
  void setReady(bool value) { assign(isReady_, value); }
  void setReadinessError(std::optional<std::string> value) { assign(readinessError_, value); }
  void setPageTitle(std::string value) { assign(pageTitle_, value); }
  // Set at the first main-frame finish of the active navigation; it is never cleared, so that
  // a later navigation turned into a download counts as an interruption, not a failure.
  void markLoadedOnce() { assign(hasLoadedOnce_, true); }

  // Plain state with callbacks, each called once per change, after the flag is set.
  bool isActiveForRendering() const { return isActiveForRendering_; }
  void setActiveForRendering(bool active);
  std::function<void(bool)> onRenderingActivityChanged;
  bool isSelectedTab() const { return isSelectedTab_; }
  void setSelectedTab(bool selected);
  std::function<void()> onSelectionChanged;
  // Called by the tab's web view when the page location changes.
  std::function<void()> onRecoveryLocationChanged;

  std::shared_ptr<WebEngineView> webView() const { return webView_.lock(); }
  void setWebView(std::weak_ptr<WebEngineView> view) { webView_ = std::move(view); }

  // Clears the failure and loads origin + "/app" when there is a web view.
  void retry();
  // Clears the failure; reloads the current http(s) page, else loads initialURL(). An address
  // that is not http(s) (about:blank after a refused load, for one) counts as none.
  void reload(ReloadCache cache);

  PendingDesktopCommands& pendingCommands() { return pendingCommands_; }
  const PendingDesktopCommands& pendingCommands() const { return pendingCommands_; }
  bool isDeliveringCommands() const { return commandTask_.has_value(); }
  std::uint64_t commandGeneration() const { return commandGeneration_; }

  // Starts delivery when none runs, a command is pending and the tab is selected.
  void startCommandDeliveryIfNeeded();
  // Stops delivery for good: a new generation, the task cancelled, the queue emptied.
  void cancelCommandDelivery();

 private:
  template <class T>
  void assign(T& field, const T& value) {
    if (field == value)
      return;
    field = value;
    changed_.emit();
  }

  static Task<void> deliverPendingCommands(std::weak_ptr<WorkspaceModel> weakModel,
                                           std::uint64_t generation, std::stop_token stop,
                                           Scheduler& scheduler);

  std::string id_;
  bool isLoading_ = false;
  bool didFailToLoad_ = false;
  bool isOffline_ = false;
  bool canGoBack_ = false;
  bool canGoForward_ = false;
  bool hasLoadedOnce_ = false;
  bool isReady_ = false;
  std::optional<std::string> readinessError_;
  bool isActiveForRendering_ = true;
  std::string pageTitle_{kDefaultPageTitle};
  std::weak_ptr<WebEngineView> webView_;
  OrlithEnvironment environment_;
  Url initialURL_;
  PendingDesktopCommands pendingCommands_;
  std::optional<std::stop_source> commandTask_;
  std::uint64_t commandGeneration_ = 0;
  bool isSelectedTab_ = true;
  Scheduler& scheduler_;
  ChangeSignal changed_;
};

}  // namespace orlith
