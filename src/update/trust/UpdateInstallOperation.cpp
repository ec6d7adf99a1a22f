// Wire names of the install operations.
#include "update/trust/UpdateInstallOperation.h"

namespace orlith {

std::string_view wireName(UpdateInstallOperation operation) {
  switch (operation) {
    case UpdateInstallOperation::install:
      return "install";
    case UpdateInstallOperation::replace:
      return "replace";
    case UpdateInstallOperation::openExisting:
      return "openExisting";
  }
  return "install";
}

std::optional<UpdateInstallOperation> updateInstallOperationFromWire(std::string_view name) {
  for (const auto operation : {UpdateInstallOperation::install, UpdateInstallOperation::replace,
                               UpdateInstallOperation::openExisting}) {
    if (wireName(operation) == name) {
      return operation;
    }
  }
  return std::nullopt;
}

}  // namespace orlith
