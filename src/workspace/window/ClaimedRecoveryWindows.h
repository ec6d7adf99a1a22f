// The recovery-window ids that open windows of this process have adopted or registered, per
// account record key, so two windows never restore the same window entry. One instance lives
// for the whole process (the application context owns it; tests make their own) and is used on
// the main thread only.
#pragma once

#include <map>
#include <set>
#include <string>

namespace orlith {

class ClaimedRecoveryWindows {
 public:
  ClaimedRecoveryWindows() = default;
  ClaimedRecoveryWindows(const ClaimedRecoveryWindows&) = delete;
  ClaimedRecoveryWindows& operator=(const ClaimedRecoveryWindows&) = delete;

  // Window ids are UUID texts and compare without regard to case; they are kept in the canonical
  // upper-case form. The ids claimed under an account's record key; empty when the key has none.
  std::set<std::string> claimedIDs(const std::string& key) const;
  bool isClaimed(const std::string& key, const std::string& windowID) const;

  // Adds a window id under the key, creating the key's set when it has none. An id stays
  // claimed after its window closes, until removeAccount() for the key.
  void claim(const std::string& key, const std::string& windowID);

  // Forgets the key's whole set (the account's session ended).
  void removeAccount(const std::string& key);

 private:
  std::map<std::string, std::set<std::string>> claimed_;
};

}  // namespace orlith
