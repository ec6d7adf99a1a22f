// What the update indicator and its panel show for a snapshot, and which indicator opens the
// panel when the coordinator asks for it. Pure rules: the views translate the keys and draw.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "update/client/UpdateSnapshot.h"

namespace orlith {

// The progress the views show: whole percent within 0...100.
long clampedUpdateProgress(long progress);
// "42%".
std::string updatePercentText(long progress);

enum class UpdateIndicatorTint { secondary, accent };

struct IndicatorPresentation {
  UpdateIndicatorTint tint = UpdateIndicatorTint::secondary;
  // The snapshot's title, a string-table key.
  std::string_view titleKey;
  // " 42%" is appended to the translated title while downloading.
  std::optional<std::string> percentSuffix;

  bool operator==(const IndicatorPresentation&) const = default;
};

IndicatorPresentation indicatorPresentation(const UpdateSnapshot& snapshot);
// The tooltip and accessible description: the translated title and the download's percent.
std::string indicatorStatusText(const IndicatorPresentation& presentation,
                                std::string (*translate)(std::string_view));

// The indicator's label, whatever the stage.
inline constexpr std::string_view kCheckForUpdatesLabel = "Check for updates";

struct PanelPresentation {
  std::string_view headingKey;
  std::string_view detailKey;
  bool detailVisible = false;
  // The snapshot's version, else the running app's.
  std::string version;
  std::optional<std::string> error;
  std::string_view primaryTitleKey;
  bool primaryEnabled = false;
  // The primary button's help repeats the detail only when an update waits for the restart.
  bool primaryHelpIsDetail = false;
  bool laterVisible = false;
  bool progressVisible = false;
  long progressValue = 0;
  std::string percentText;

  bool operator==(const PanelPresentation&) const = default;
};

PanelPresentation panelPresentation(const UpdateSnapshot& snapshot, std::string_view appVersion);

// Where the panel's keyboard focus goes when it opens.
enum class PanelFocusTarget { later, closeButton };
PanelFocusTarget panelFocusTarget(const PanelPresentation& presentation);

// The panel's texts beyond the snapshot's.
inline constexpr std::string_view kPanelHeadingLabel = "Update status";
inline constexpr std::string_view kPanelCloseLabel = "Close updates";
inline constexpr std::string_view kPanelCloseTooltip = "Close";
inline constexpr std::string_view kPanelProgressLabel = "Update download progress";
inline constexpr std::string_view kPanelLaterTitle = "Later";
inline constexpr std::string_view kPanelBrand = "Orlith";

// Counts the heading changes that assistive technology hears: only a change of the untranslated
// title, and only while the panel is shown.
class PanelHeadingTracker {
 public:
  // Whether the title differs from the one shown before; remembers it.
  bool apply(std::string_view title, bool panelShown);
  std::size_t announcements() const { return announcements_; }

 private:
  std::string current_;
  std::size_t announcements_ = 0;
};

// One indicator as the coordinator's request to show a panel sees it.
struct IndicatorCandidate {
  // In a window and not hidden, itself or through an ancestor.
  bool shown = false;
  bool inActiveWindow = false;
  bool inMainWindow = false;
};

// The first shown indicator in the active window, else in the main window, else the first shown
// one; nothing when none is shown.
std::optional<std::size_t> indicatorForPanel(const std::vector<IndicatorCandidate>& candidates);

}  // namespace orlith
