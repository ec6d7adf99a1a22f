// The registry of downloads in progress.
#include "workspace/surface/ActiveDownloads.h"

namespace orlith {

ActiveDownloads& ActiveDownloads::shared() {
  static ActiveDownloads registry;
  return registry;
}

void ActiveDownloads::insert(const std::string& id) {
  std::lock_guard lock(activeDownloadsLock_);
  activeDownloadRegistry_.insert(id);
}

void ActiveDownloads::remove(const std::string& id) {
  std::lock_guard lock(activeDownloadsLock_);
  activeDownloadRegistry_.erase(id);
}

bool ActiveDownloads::isEmpty() const {
  std::lock_guard lock(activeDownloadsLock_);
  return activeDownloadRegistry_.empty();
}

std::size_t ActiveDownloads::count() const {
  std::lock_guard lock(activeDownloadsLock_);
  return activeDownloadRegistry_.size();
}

}  // namespace orlith
