// The update coordinator's published state, and the heading, explanation and button label that
// the indicator and panel show for it. The texts are string-table keys, not translations.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace orlith {

enum class UpdateStage {
  idle,
  checking,
  downloading,
  verifying,
  ready,
  upToDate,
  failed,
  manual,
  restarting,
};

inline constexpr std::array<UpdateStage, 9> kAllUpdateStages = {
    UpdateStage::idle,      UpdateStage::checking, UpdateStage::downloading,
    UpdateStage::verifying, UpdateStage::ready,    UpdateStage::upToDate,
    UpdateStage::failed,    UpdateStage::manual,   UpdateStage::restarting};

std::string_view rawValue(UpdateStage stage);
// Exactly one of the nine raw values, case-sensitive.
std::optional<UpdateStage> updateStageFromRaw(std::string_view raw);

enum class UpdateManualAction { openInstaller, revealApplication };

struct UpdateSnapshot {
  UpdateStage stage = UpdateStage::idle;
  std::optional<std::string> version;
  long progress = 0;  // whole percent; views clamp it
  std::optional<std::string> error;
  bool isInitialInstallation = false;
  UpdateManualAction manualAction = UpdateManualAction::openInstaller;

  bool operator==(const UpdateSnapshot&) const = default;

  std::string_view title() const;
  // Empty when the stage has nothing to explain.
  std::string_view detail() const;
  std::string_view primaryActionTitle() const;
  bool isDownloading() const { return stage == UpdateStage::downloading; }
  bool isReady() const { return stage == UpdateStage::ready; }
};

// Translator comments the views pass with each text.
inline constexpr std::string_view kUpdateTitleComment = "Update status";
inline constexpr std::string_view kUpdateDetailComment = "Update status explanation";
inline constexpr std::string_view kUpdateActionComment = "Update action";

}  // namespace orlith
