// Remembers, per signed-in account, the workspace pages of each window's tabs and the selected
// tab, so a window opened after a restart can rebuild its tabs. All windows of one account share
// one record under a key derived from the account; every operation reads the preferences afresh.
// Used on the main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/Preferences.h"
#include "base/Url.h"
#include "session/OrlithEnvironment.h"
#include "workspace/window/WorkspaceTabRecoverySnapshot.h"

namespace orlith {

class WorkspaceTabRecoveryStore {
 public:
  static constexpr std::string_view kKeyPrefix = "orlith.tabRecovery.v1.";
  // User-perceived characters (grapheme clusters) of the normalized account.
  static constexpr std::size_t kMaximumAccountLength = 320;
  static constexpr std::size_t kMaximumRecordBytes = 262'144;
  static constexpr std::size_t kMaximumWindows = 16;
  static constexpr std::size_t kMaximumURLsPerWindow = 20;
  static constexpr std::int64_t kSchemaVersion = 1;

  // A store for the account, or nothing when there is no account or it does not qualify (see
  // recoveryKey()); no store means nothing is loaded, saved or removed for the window. The
  // preferences must outlive every copy of the store.
  static std::optional<WorkspaceTabRecoveryStore> make(const std::optional<std::string>& account,
                                                       OrlithEnvironment environment,
                                                       Preferences& defaults);

  // "orlith.tabRecovery.v1." + the lower-case hex SHA-256 of the normalized account: trimmed of
  // whitespace and newlines, lower-cased without regard to locale. Nothing when the normalized
  // account is empty, longer than 320 characters, lacks "@", or is not valid UTF-8.
  static std::optional<std::string> recoveryKey(std::string_view account);

  // Whether a URL may be remembered, and the form it is remembered in: a workspace page of the
  // origin without query and fragment, whose path cannot resolve to anything else.
  static std::optional<Url> recoverableURL(const Url& url, const Url& origin);

  Preferences& defaults() const { return *defaults_; }
  const OrlithEnvironment& environment() const { return environment_; }
  const std::string& key() const { return key_; }

  // The account's remembered windows, cleaned: at most 16, each with 1 to 20 recoverable URLs
  // and a selected index within them, no id twice. Empty when there is no usable record.
  // Never fails and never writes.
  std::vector<WorkspaceTabRecoveryWindow> load() const;

  // Merges this window's entry (its recoverable URLs among the first 20, the selected index
  // moved to the nearest kept tab at or before it) into the record and writes it. Writes
  // nothing when no URL is recoverable, when the window id is not a UUID, or when the merged
  // record would exceed 262,144 bytes. A failed write is swallowed: the earlier record stays.
  void save(const std::string& windowID, const std::vector<Url>& urls,
            std::int64_t selectedIndex) const;

  // Removes the account's whole record (every window's entry). A failed removal is swallowed.
  void remove() const;

  // One stored window entry cleaned: nothing when its id is already in `seen` (which it joins)
  // or when none of its first 20 URLs is recoverable.
  std::optional<WorkspaceTabRecoveryWindow> sanitizedWindow(
      const WorkspaceTabRecoveryWindow& window, std::set<std::string>& seen) const;

 private:
  WorkspaceTabRecoveryStore(Preferences& defaults, OrlithEnvironment environment, std::string key);

  Preferences* defaults_;
  OrlithEnvironment environment_;
  std::string key_;
};

}  // namespace orlith
