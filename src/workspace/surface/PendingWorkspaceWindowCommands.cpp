// Parking of command types between windows.
#include "workspace/surface/PendingWorkspaceWindowCommands.h"

#include <algorithm>

namespace orlith {

PendingWorkspaceWindowCommands& PendingWorkspaceWindowCommands::shared() {
  static PendingWorkspaceWindowCommands instance;
  return instance;
}

bool PendingWorkspaceWindowCommands::enqueue(std::string_view type, std::int64_t sessionRevision,
                                             TimePoint now) {
  if (type != "billing-return" && type != "search")
    return false;
  if (sessionRevision_ != sessionRevision || isExpired(now))
    clear();
  const bool wasEmpty = commands_.empty();
  if (std::find(commands_.begin(), commands_.end(), type) == commands_.end() &&
      commands_.size() < kMaxParked) {
    commands_.emplace_back(type);
  }
  sessionRevision_ = sessionRevision;
  if (!createdAt_)
    createdAt_ = now;
  return wasEmpty;
}

std::vector<std::string> PendingWorkspaceWindowCommands::take(std::int64_t sessionRevision,
                                                              TimePoint now) {
  std::vector<std::string> taken;
  if (sessionRevision_ == sessionRevision && createdAt_ && !isExpired(now))
    taken = std::move(commands_);
  clear();
  return taken;
}

void PendingWorkspaceWindowCommands::clear() {
  commands_.clear();
  sessionRevision_.reset();
  createdAt_.reset();
}

}  // namespace orlith
