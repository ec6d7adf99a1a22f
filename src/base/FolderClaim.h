// A folder its owner claims for its whole life with an advisory lock on the folder itself. The
// kernel drops the lock with the owner's last descriptor however the process ends, so whether
// anyone still uses the folder survives the owner's death as a fact: a sweep that gets the lock
// without waiting knows the folder is stale.
#pragma once

#include <filesystem>
#include <string>

namespace orlith {

class FolderClaim {
 public:
  enum class Sweep { removed, inUse, absent };

  // Holds nothing.
  FolderClaim() = default;
  FolderClaim(FolderClaim&& other) noexcept;
  FolderClaim& operator=(FolderClaim&& other) noexcept;
  FolderClaim(const FolderClaim&) = delete;
  FolderClaim& operator=(const FolderClaim&) = delete;
  ~FolderClaim();

  // Claims the folder `name` in the open folder `parent`, opened without following a link. Any
  // number of owners may claim one folder. Throws std::system_error, ENOENT when the folder was
  // swept away before the claim held (the caller makes a new one).
  static FolderClaim claim(int parent, const std::string& name);
  // The same for a path; its parent is opened as the path says.
  static FolderClaim claim(const std::filesystem::path& folder);

  // Removes the folder `name` in `parent`, everything in it and nothing through a link, when no
  // owner claims it; a claimed folder is left as it is. Throws std::system_error.
  static Sweep removeUnclaimed(int parent, const std::string& name);

  bool holds() const { return fd_ >= 0; }
  int descriptor() const { return fd_; }

 private:
  explicit FolderClaim(int fd) : fd_(fd) {}

  int fd_ = -1;
};

}  // namespace orlith
