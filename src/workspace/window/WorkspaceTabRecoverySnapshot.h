// The per-account tab recovery record: which workspace pages each window had open and which tab
// was selected, stored as compact JSON bytes. Decoding is strict (a missing member or a member
// of the wrong type makes the whole record unreadable); keys it does not know are ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlith {

struct WorkspaceTabRecoveryWindow {
  std::string id;                 // the window's recovery id, canonical upper-case UUID text
  std::vector<std::string> urls;  // absolute URLs of the window's tabs, in tab order
  std::int64_t selectedIndex = 0;

  friend bool operator==(const WorkspaceTabRecoveryWindow&,
                         const WorkspaceTabRecoveryWindow&) = default;
};

struct WorkspaceTabRecoverySnapshot {
  std::int64_t schemaVersion = 1;
  std::vector<WorkspaceTabRecoveryWindow> windows;

  friend bool operator==(const WorkspaceTabRecoverySnapshot&,
                         const WorkspaceTabRecoverySnapshot&) = default;

  // Nothing when the text is not JSON, a member is missing or of the wrong type, or a window's
  // "id" is not a UUID. Ids come back upper-cased, so ids that differ only in case are equal.
  // The schema version is returned as stored: checking it is the reader's business.
  static std::optional<WorkspaceTabRecoverySnapshot> decode(std::string_view json);

  // Compact JSON with the keys in field order. Nothing when a string is not valid UTF-8.
  std::optional<std::string> encode() const;
};

}  // namespace orlith
