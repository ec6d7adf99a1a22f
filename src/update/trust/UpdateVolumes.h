// What the checks ask about the volume a folder lives on: whether it is read-only and whether it
// can exchange two names atomically. A port, so tests can present any volume.
#pragma once

#include <filesystem>

namespace orlith {

enum class VolumeSupport { supported, unsupported, unknown };

class UpdateVolumes {
 public:
  virtual ~UpdateVolumes() = default;

  // Throw std::system_error when the volume cannot be asked.
  virtual bool isReadOnly(const std::filesystem::path& folder) const = 0;
  virtual VolumeSupport swapRenaming(const std::filesystem::path& folder) const = 0;
};

// statvfs ST_RDONLY, and statfs f_type against the file systems known to do RENAME_EXCHANGE.
class SystemUpdateVolumes final : public UpdateVolumes {
 public:
  bool isReadOnly(const std::filesystem::path& folder) const override;
  VolumeSupport swapRenaming(const std::filesystem::path& folder) const override;
};

}  // namespace orlith
