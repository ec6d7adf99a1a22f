// Signing requirement text.
#include "update/trust/UpdateInstallerIdentity.h"

namespace orlith {

std::string UpdateInstallerIdentity::requirementText(std::string_view identifier,
                                                     const UpdateTeam& team) {
  std::string text = "anchor apple generic and identifier \"";
  text += identifier;
  text += "\" and certificate leaf[subject.OU] = \"";
  text += team.identifier;
  text +=
      "\" and certificate 1[field.1.2.840.113635.100.6.2.6] exists and certificate "
      "leaf[field.1.2.840.113635.100.6.1.13] exists";
  return text;
}

}  // namespace orlith
