// A map from account record key to claimed window ids.
#include "workspace/window/ClaimedRecoveryWindows.h"

#include "base/Uuid.h"

namespace orlith {
namespace {

// Ids compare as UUIDs do: "e621…" and "E621…" are one window.
std::string comparableID(const std::string& windowID) {
  return canonicalUuid(windowID).value_or(windowID);
}

}  // namespace

std::set<std::string> ClaimedRecoveryWindows::claimedIDs(const std::string& key) const {
  auto found = claimed_.find(key);
  return found == claimed_.end() ? std::set<std::string>{} : found->second;
}

bool ClaimedRecoveryWindows::isClaimed(const std::string& key, const std::string& windowID) const {
  auto found = claimed_.find(key);
  return found != claimed_.end() && found->second.contains(comparableID(windowID));
}

void ClaimedRecoveryWindows::claim(const std::string& key, const std::string& windowID) {
  claimed_[key].insert(comparableID(windowID));
}

void ClaimedRecoveryWindows::removeAccount(const std::string& key) {
  claimed_.erase(key);
}

}  // namespace orlith
