// A window's tabs: selection with its side effects, routing of window commands, and the
// window's entry in the account's tab recovery record.
#include "workspace/window/WorkspaceTabsModel.h"

#include <algorithm>
#include <utility>

#include "base/Clock.h"
#include "base/Json.h"
#include "base/MainQueue.h"
#include "base/NotificationHub.h"
#include "base/Preferences.h"
#include "base/Uuid.h"
#include "workspace/surface/PendingDesktopCommands.h"
#include "workspace/surface/PendingWorkspaceWindowCommands.h"
#include "workspace/window/Beep.h"
#include "workspace/window/ClaimedRecoveryWindows.h"
#include "workspace/window/WorkspaceTabRecoveryStore.h"

namespace orlith {

struct WorkspaceTabsModel::Observers {
  ScopedConnection selectedTab;
  NotificationHub::Token willRestart;
};

namespace {

bool isWorkspacePath(const std::string& path) {
  return path == "/app" || path.starts_with("/app/");
}

bool isWindowCommand(std::string_view type) {
  return type == WorkspaceTabsModel::kSearchCommand ||
         type == WorkspaceTabsModel::kBillingReturnCommand;
}

}  // namespace

std::shared_ptr<WorkspaceTabsModel> WorkspaceTabsModel::create(Dependencies dependencies) {
  auto model = std::make_shared<WorkspaceTabsModel>(Passkey{}, std::move(dependencies));
  model->observers_->willRestart =
      model->hub_.addObserver(std::string(kWillRestartForUpdateNotification),
                              [weak = std::weak_ptr<WorkspaceTabsModel>(model)] {
                                if (auto self = weak.lock())
                                  self->saveRecoverySnapshot();
                              });
  return model;
}

WorkspaceTabsModel::WorkspaceTabsModel(Passkey, Dependencies dependencies)
    : environment_(std::move(dependencies.environment)),
      scheduler_(dependencies.scheduler),
      clock_(dependencies.clock),
      uuids_(dependencies.uuids),
      beep_(dependencies.beep),
      hub_(dependencies.hub),
      claimedWindows_(dependencies.claimedWindows),
      pendingWindowCommands_(dependencies.pendingWindowCommands),
      recoveryWindowID_(uuids_.next()),
      observers_(std::make_unique<Observers>()) {
  tabs_.push_back(makeTab(std::nullopt));
  // An initial value: no selection handling runs at creation.
  selectedID_ = tabs_.front()->id();
  observeSelectedTab();
}

WorkspaceTabsModel::~WorkspaceTabsModel() = default;

std::shared_ptr<WorkspaceModel> WorkspaceTabsModel::makeTab(std::optional<Url> initialURL) {
  return WorkspaceModel::create(environment_, std::move(initialURL), scheduler_);
}

std::shared_ptr<WorkspaceModel> WorkspaceTabsModel::selectedTab() const {
  for (const auto& tab : tabs_)
    if (tab->id() == selectedID_)
      return tab;
  return nullptr;
}

std::optional<std::size_t> WorkspaceTabsModel::selectedIndex() const {
  for (std::size_t index = 0; index < tabs_.size(); ++index)
    if (tabs_[index]->id() == selectedID_)
      return index;
  return std::nullopt;
}

void WorkspaceTabsModel::setSelectedID(std::string id) {
  std::string previous = std::exchange(selectedID_, std::move(id));
  selectionDidChange(previous);
}

void WorkspaceTabsModel::selectionDidChange(const std::string& previous) {
  if (selectedID_ == previous)
    return;
  applySelection();
  observeSelectedTab();
  changed_.emit();
  focusSelectedWebView();
  saveRecoverySnapshot();
}

void WorkspaceTabsModel::applySelection() {
  // Each tab learns its selection first (which calls its own selection handler); delivery can
  // only start on a tab that already knows it is selected.
  for (const auto& tab : tabs_) {
    bool selected = tab->id() == selectedID_;
    tab->setSelectedTab(selected);
    if (selected)
      tab->startCommandDeliveryIfNeeded();
  }
}

void WorkspaceTabsModel::observeSelectedTab() {
  observers_->selectedTab.disconnect();
  if (auto tab = selectedTab())
    observers_->selectedTab = tab->changed().connect([this] { changed_.emit(); });
}

void WorkspaceTabsModel::focusSelectedWebView() {
  // After the views have been refreshed for the new selection, which is posted before this.
  MainQueue::shared().post([weak = weak_from_this(), captured = selectedID_] {
    auto self = weak.lock();
    if (!self || self->selectedID_ != captured)
      return;
    auto tab = self->selectedTab();
    auto view = tab ? tab->webView() : nullptr;
    if (view && view->isShownInActiveWindow())
      view->focus();
  });
}

std::shared_ptr<WorkspaceModel> WorkspaceTabsModel::newTab() {
  if (tabs_.size() >= kMaximumTabs) {
    beep_.beep();
    auto selected = selectedTab();
    return selected ? selected : tabs_.front();
  }
  auto tab = makeTab(std::nullopt);
  tabs_.push_back(tab);
  attachRecoveryHooks();
  changed_.emit();
  setSelectedID(tab->id());
  return tab;
}

void WorkspaceTabsModel::closeTab(const std::string& id) {
  if (tabs_.size() < 2)
    return;
  auto found =
      std::find_if(tabs_.begin(), tabs_.end(), [&](const auto& tab) { return tab->id() == id; });
  if (found == tabs_.end())
    return;
  auto index = static_cast<std::size_t>(found - tabs_.begin());
  bool wasSelected = (*found)->id() == selectedID_;
  std::shared_ptr<WorkspaceModel> closing = *found;
  if (auto view = closing->webView())
    view->stopLoading();
  closing->cancelCommandDelivery();
  tabs_.erase(found);
  changed_.emit();
  if (wasSelected)
    setSelectedID(tabs_[std::min(index, tabs_.size() - 1)]->id());
  saveRecoverySnapshot();
}

void WorkspaceTabsModel::select(const std::string& id) {
  bool known =
      std::any_of(tabs_.begin(), tabs_.end(), [&](const auto& tab) { return tab->id() == id; });
  if (!known)
    return;
  if (id != selectedID_) {
    setSelectedID(id);
    return;
  }
  applySelection();
}

void WorkspaceTabsModel::selectAdjacentTab(int offset) {
  if (tabs_.size() < 2)
    return;
  auto index = selectedIndex();
  if (!index)
    return;
  auto count = static_cast<long long>(tabs_.size());
  auto next = ((static_cast<long long>(*index) + offset) % count + count) % count;
  setSelectedID(tabs_[static_cast<std::size_t>(next)]->id());
}

bool WorkspaceTabsModel::showsWorkspacePage(const WorkspaceModel& tab) const {
  auto view = tab.webView();
  std::optional<std::string> uri = view ? view->currentUri() : std::nullopt;
  if (uri) {
    auto url = Url::parse(*uri);
    return url && environment_.isAllowedURL(*url) && isWorkspacePath(url->path());
  }
  return !tab.hasLoadedOnce();
}

bool WorkspaceTabsModel::enqueueOn(WorkspaceModel& tab, std::string_view type) {
  bool queued = tab.pendingCommands().enqueue(Json{{"type", std::string(type)}});
  if (queued)
    tab.startCommandDeliveryIfNeeded();
  return queued;
}

void WorkspaceTabsModel::routeDesktopCommand(std::string_view type, std::int64_t sessionRevision,
                                             const std::function<void()>& openWindow) {
  if (!isWindowCommand(type))
    return;
  std::vector<bool> eligible;
  eligible.reserve(tabs_.size());
  for (const auto& tab : tabs_)
    eligible.push_back(showsWorkspacePage(*tab));
  auto target = PendingDesktopCommands::commandTarget(eligible, selectedIndex(), kMaximumTabs);
  switch (target.kind) {
    case PendingDesktopCommands::CommandTarget::Kind::tab: {
      std::shared_ptr<WorkspaceModel> tab = tabs_[target.index];
      select(tab->id());
      enqueueOn(*tab, type);
      return;
    }
    case PendingDesktopCommands::CommandTarget::Kind::newTab: {
      std::shared_ptr<WorkspaceModel> tab = newTab();
      enqueueOn(*tab, type);
      return;
    }
    case PendingDesktopCommands::CommandTarget::Kind::tabLimit:
      if (pendingWindowCommands_.enqueue(type, sessionRevision, clock_.monotonicNow()) &&
          openWindow)
        openWindow();
      return;
  }
}

void WorkspaceTabsModel::prepareSession(const std::optional<StoredSession>& session,
                                        Preferences& preferences) {
  if (isSessionPrepared_)
    return;
  std::optional<std::string> account = session ? session->email : std::nullopt;
  auto store = WorkspaceTabRecoveryStore::make(account, environment_, preferences);
  recoveryStore_ = store ? std::make_unique<WorkspaceTabRecoveryStore>(std::move(*store)) : nullptr;

  if (recoveryStore_) {
    const std::string& key = recoveryStore_->key();
    std::vector<WorkspaceTabRecoveryWindow> windows = recoveryStore_->load();
    auto adopted = std::find_if(windows.begin(), windows.end(), [&](const auto& window) {
      return !claimedWindows_.isClaimed(key, window.id);
    });
    if (adopted != windows.end()) {
      recoveryWindowID_ = adopted->id;
      Tabs restored;
      for (const std::string& text : adopted->urls)
        if (auto url = Url::parse(text))
          restored.push_back(makeTab(*url));
      if (!restored.empty()) {
        tabs_ = std::move(restored);
        auto last = static_cast<std::int64_t>(tabs_.size()) - 1;
        auto index = std::clamp<std::int64_t>(adopted->selectedIndex, 0, last);
        changed_.emit();
        setSelectedID(tabs_[static_cast<std::size_t>(index)]->id());
        applySelection();
        observeSelectedTab();
      }
    }
    claimedWindows_.claim(key, recoveryWindowID_);
  }

  attachRecoveryHooks();
  isSessionPrepared_ = true;
  changed_.emit();
  saveRecoverySnapshot();
}

void WorkspaceTabsModel::deliverPendingWindowCommands(std::int64_t sessionRevision) {
  auto tab = selectedTab();
  if (!tab || !showsWorkspacePage(*tab))
    return;
  for (const std::string& type :
       pendingWindowCommands_.take(sessionRevision, clock_.monotonicNow()))
    enqueueOn(*tab, type);
}

void WorkspaceTabsModel::resetSession() {
  if (recoveryStore_) {
    recoveryStore_->remove();
    claimedWindows_.removeAccount(recoveryStore_->key());
  }
  recoveryStore_.reset();
  isSessionPrepared_ = false;
  recoveryWindowID_ = uuids_.next();
  for (const auto& tab : tabs_) {
    tab->cancelCommandDelivery();
    if (auto view = tab->webView())
      view->stopLoading();
  }
  tabs_ = {makeTab(std::nullopt)};
  changed_.emit();
  setSelectedID(tabs_.front()->id());
}

void WorkspaceTabsModel::attachRecoveryHooks() {
  for (const auto& tab : tabs_) {
    tab->onRecoveryLocationChanged = [weak = weak_from_this()] {
      if (auto self = weak.lock())
        self->saveRecoverySnapshot();
    };
  }
}

void WorkspaceTabsModel::saveRecoverySnapshot() {
  if (!isSessionPrepared_ || !recoveryStore_)
    return;
  std::vector<Url> urls;
  urls.reserve(tabs_.size());
  for (const auto& tab : tabs_) {
    auto view = tab->webView();
    std::optional<std::string> uri = view ? view->currentUri() : std::nullopt;
    std::optional<Url> current = uri ? Url::parse(*uri) : std::nullopt;
    urls.push_back(current ? *current : tab->initialURL());
  }
  auto index = static_cast<std::int64_t>(selectedIndex().value_or(0));
  recoveryStore_->save(recoveryWindowID_, urls, index);
}

}  // namespace orlith
