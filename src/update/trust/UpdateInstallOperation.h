// What the updater does at the target: install where nothing is, replace an older copy, or
// open a copy that is already as new.
#pragma once

#include <optional>
#include <string_view>

namespace orlith {

enum class UpdateInstallOperation { install, replace, openExisting };

std::string_view wireName(UpdateInstallOperation operation);
// Exact, case-sensitive: "Replace" is no operation.
std::optional<UpdateInstallOperation> updateInstallOperationFromWire(std::string_view name);

}  // namespace orlith
