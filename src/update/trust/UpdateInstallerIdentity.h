// Names of the three signed programs and the descriptive signing requirement each side states
// for the others.
#pragma once

#include <string>
#include <string_view>

#include "update/trust/UpdateTeam.h"
#include "update/trust/UpdateWire.h"

namespace orlith {

class UpdateInstallerIdentity final {
 public:
  UpdateInstallerIdentity() = delete;

  static constexpr std::string_view kApplication = update_wire::kApplicationIdentifier;
  static constexpr std::string_view kApplicationFileName = update_wire::kApplicationFileName;
  static constexpr std::string_view kService = update_wire::kServiceIdentifier;
  static constexpr std::string_view kHelper = update_wire::kHelperIdentifier;

  // Descriptive only: the seal check decides, this text is never evaluated.
  static std::string requirementText(std::string_view identifier, const UpdateTeam& team);
};

}  // namespace orlith
