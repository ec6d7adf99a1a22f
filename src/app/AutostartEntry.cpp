// The status an autostart entry gives.
#include "app/AutostartEntry.h"

#include "app/DesktopEntry.h"

namespace orlith {

int AutostartEntry::status(const std::optional<AutostartEntry>& entry,
                           const std::filesystem::path& executable) {
  if (!entry || entry->desktop == Desktop::refuses || entry->hidden || !entry->autostartEnabled ||
      !entry->exec)
    return 0;
  return DesktopEntry::programOfExecLine(*entry->exec) == executable ? 1 : 0;
}

}  // namespace orlith
