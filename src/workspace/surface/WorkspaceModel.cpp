// One tab's model and the delivery of its desktop commands into the page.
#include "workspace/surface/WorkspaceModel.h"

#include <exception>

#include "base/Uuid.h"
#include "workspace/surface/AppPathSafety.h"
#include "workspace/surface/WebSurfaceScripts.h"

namespace orlith {
namespace {

Url appPageOf(const OrlithEnvironment& environment) {
  auto page = Url::parse(environment.originString() + "/app");
  return page ? *page : environment.origin();
}

Url chooseInitialURL(const OrlithEnvironment& environment, const std::optional<Url>& given) {
  if (given) {
    if (auto recovered = safeRecoverableURL(*given, environment.origin()))
      return *recovered;
  }
  return appPageOf(environment);
}

bool isDelivered(const std::optional<Json>& result) {
  return result && result->is_boolean() && result->get<bool>();
}

}  // namespace

std::shared_ptr<WorkspaceModel> WorkspaceModel::create(OrlithEnvironment environment,
                                                       std::optional<Url> initialURL,
                                                       Scheduler& scheduler) {
  return std::make_shared<WorkspaceModel>(Passkey{}, std::move(environment), std::move(initialURL),
                                          scheduler);
}

WorkspaceModel::WorkspaceModel(Passkey, OrlithEnvironment environment,
                               std::optional<Url> initialURL, Scheduler& scheduler)
    : id_(makeRandomUuid()),
      environment_(std::move(environment)),
      initialURL_(chooseInitialURL(environment_, initialURL)),
      scheduler_(scheduler) {}

WorkspaceModel::~WorkspaceModel() {
  if (commandTask_)
    commandTask_->request_stop();
}

bool WorkspaceModel::rememberLocation(const Url& location) {
  auto recovered = safeRecoverableURL(location, environment_.origin());
  if (!recovered)
    return false;
  initialURL_ = std::move(*recovered);
  return true;
}

Url WorkspaceModel::appPageURL() const {
  return appPageOf(environment_);
}

void WorkspaceModel::setActiveForRendering(bool active) {
  if (isActiveForRendering_ == active)
    return;
  isActiveForRendering_ = active;
  if (onRenderingActivityChanged)
    onRenderingActivityChanged(active);
}

void WorkspaceModel::setSelectedTab(bool selected) {
  if (isSelectedTab_ == selected)
    return;
  isSelectedTab_ = selected;
  if (onSelectionChanged)
    onSelectionChanged();
}

void WorkspaceModel::retry() {
  setDidFailToLoad(false);
  setReadinessError(std::nullopt);
  if (auto view = webView_.lock())
    view->load(appPageURL());
}

void WorkspaceModel::reload(ReloadCache cache) {
  setDidFailToLoad(false);
  setReadinessError(std::nullopt);
  auto view = webView_.lock();
  if (!view)
    return;
  auto uri = view->currentUri();
  auto current = uri ? Url::parse(*uri) : std::nullopt;
  if (current && current->isHttpOrHttps())
    view->reload(cache);
  else
    view->load(initialURL_);
}

void WorkspaceModel::startCommandDeliveryIfNeeded() {
  if (commandTask_ || pendingCommands_.empty() || !isSelectedTab_)
    return;
  commandTask_.emplace();
  startDetached(deliverPendingCommands(weak_from_this(), commandGeneration_,
                                       commandTask_->get_token(), scheduler_));
}

void WorkspaceModel::cancelCommandDelivery() {
  ++commandGeneration_;
  if (commandTask_) {
    commandTask_->request_stop();
    commandTask_.reset();
  }
  pendingCommands_.clear();
}

Task<void> WorkspaceModel::deliverPendingCommands(std::weak_ptr<WorkspaceModel> weakModel,
                                                  std::uint64_t generation, std::stop_token stop,
                                                  Scheduler& scheduler) {
  auto isCurrent = [&](const std::shared_ptr<WorkspaceModel>& model) {
    return !stop.stop_requested() && model && model->commandGeneration_ == generation;
  };
  for (int round = 0; round < kMaxDeliveryRounds; ++round) {
    std::shared_ptr<WorkspaceModel> model = weakModel.lock();
    if (!isCurrent(model))
      co_return;
    if (model->pendingCommands_.empty())
      break;
    std::shared_ptr<WebEngineView> view = model->webView_.lock();
    bool delivered = false;
    if (model->isSelectedTab_ && !model->isLoading_ && view) {
      const PendingDesktopCommands::Command command = model->pendingCommands_.commands().front();
      Task<std::optional<Json>> evaluation = view->evaluateScript(
          WebSurfaceScripts::desktopCommandScript(model->environment_.originString(), command.json),
          ScriptWorld::page);
      // Neither the model nor the view is kept alive by a page that takes its time.
      view.reset();
      model.reset();
      std::optional<Json> result;
      try {
        result = co_await std::move(evaluation);
      } catch (const TaskCancelled&) {
        throw;
      } catch (const std::exception&) {
        // The port reports script failures as no value; a throwing adapter is treated alike,
        // so that the command waits instead of the program ending.
      }
      model = weakModel.lock();
      if (!isCurrent(model))
        co_return;
      if (isDelivered(result)) {
        model->pendingCommands_.removeFirst(command.id);
        delivered = true;
      }
    }
    if (!delivered) {
      model.reset();
      Task<void> wait = sleepFor(scheduler, kDeliveryRetryDelay, stop);
      co_await std::move(wait);
    }
  }
  std::shared_ptr<WorkspaceModel> model = weakModel.lock();
  if (model && model->commandGeneration_ == generation)
    model->commandTask_.reset();
}

}  // namespace orlith
