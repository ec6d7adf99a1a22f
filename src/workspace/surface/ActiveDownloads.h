// The process-wide registry of downloads in progress, which the update client reads before it
// restarts the app. Any thread.
#pragma once

#include <cstddef>
#include <mutex>
#include <set>
#include <string>

namespace orlith {

class ActiveDownloads {
 public:
  static ActiveDownloads& shared();

  void insert(const std::string& id);
  void remove(const std::string& id);
  bool isEmpty() const;
  std::size_t count() const;

 private:
  mutable std::mutex activeDownloadsLock_;
  std::set<std::string> activeDownloadRegistry_;
};

}  // namespace orlith
