// The indicator's and the panel's rules over a snapshot.
#include "update/client/UpdateIndicatorPresentation.h"

#include <algorithm>

namespace orlith {

long clampedUpdateProgress(long progress) {
  return std::clamp(progress, 0L, 100L);
}

std::string updatePercentText(long progress) {
  return std::to_string(clampedUpdateProgress(progress)) + "%";
}

IndicatorPresentation indicatorPresentation(const UpdateSnapshot& snapshot) {
  IndicatorPresentation presentation;
  const bool waits = snapshot.stage == UpdateStage::ready || snapshot.stage == UpdateStage::manual;
  if (waits && !snapshot.isInitialInstallation)
    presentation.tint = UpdateIndicatorTint::accent;
  presentation.titleKey = snapshot.title();
  if (snapshot.isDownloading())
    presentation.percentSuffix = " " + updatePercentText(snapshot.progress);
  return presentation;
}

std::string indicatorStatusText(const IndicatorPresentation& presentation,
                                std::string (*translate)(std::string_view)) {
  std::string text = translate(presentation.titleKey);
  if (presentation.percentSuffix)
    text += *presentation.percentSuffix;
  return text;
}

PanelPresentation panelPresentation(const UpdateSnapshot& snapshot, std::string_view appVersion) {
  PanelPresentation panel;
  panel.headingKey = snapshot.title();
  panel.detailKey = snapshot.detail();
  panel.detailVisible = !panel.detailKey.empty();
  panel.version = snapshot.version ? *snapshot.version : std::string(appVersion);
  panel.error = snapshot.error;
  panel.primaryTitleKey = snapshot.primaryActionTitle();
  switch (snapshot.stage) {
    case UpdateStage::idle:
    case UpdateStage::ready:
    case UpdateStage::upToDate:
    case UpdateStage::failed:
    case UpdateStage::manual:
      panel.primaryEnabled = true;
      break;
    case UpdateStage::checking:
    case UpdateStage::downloading:
    case UpdateStage::verifying:
    case UpdateStage::restarting:
      panel.primaryEnabled = false;
      break;
  }
  panel.primaryHelpIsDetail = snapshot.isReady();
  panel.laterVisible = snapshot.isReady();
  panel.progressVisible = snapshot.isDownloading();
  panel.progressValue = clampedUpdateProgress(snapshot.progress);
  panel.percentText = updatePercentText(snapshot.progress);
  return panel;
}

PanelFocusTarget panelFocusTarget(const PanelPresentation& presentation) {
  return presentation.laterVisible ? PanelFocusTarget::later : PanelFocusTarget::closeButton;
}

bool PanelHeadingTracker::apply(std::string_view title, bool panelShown) {
  const bool changed = title != current_;
  current_ = std::string(title);
  if (changed && panelShown)
    ++announcements_;
  return changed;
}

std::optional<std::size_t> indicatorForPanel(const std::vector<IndicatorCandidate>& candidates) {
  std::optional<std::size_t> firstShown;
  std::optional<std::size_t> firstMain;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const IndicatorCandidate& candidate = candidates[i];
    if (!candidate.shown)
      continue;
    if (candidate.inActiveWindow)
      return i;
    if (candidate.inMainWindow && !firstMain)
      firstMain = i;
    if (!firstShown)
      firstShown = i;
  }
  return firstMain ? firstMain : firstShown;
}

}  // namespace orlith
