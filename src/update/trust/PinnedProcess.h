// A process held by a pidfd, so that what is read about it under /proc is known to be that
// process: a read counts only if the pidfd shows it still running afterwards.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>

#include "update/trust/UniqueFd.h"

namespace orlith {

enum class PinResult { pinned, exited, refused };

class PinnedProcess {
 public:
  PinnedProcess(pid_t pid, UniqueFd pidfd) : pid_(pid), pidfd_(std::move(pidfd)) {}

  // pidfd_open: nothing when the process is gone (ESRCH) or the kernel refuses (ENOSYS, EPERM);
  // the reason goes to *result when asked.
  static std::optional<PinnedProcess> open(pid_t pid, PinResult* result = nullptr);

  pid_t pid() const { return pid_; }
  int descriptor() const { return pidfd_.get(); }

  // The pidfd polls readable once the process has exited; a zombie counts as exited.
  bool isTerminated() const;
  // /proc/<pid>/exe; nothing for a deleted program or one that cannot be read.
  std::optional<std::filesystem::path> executable() const;
  // The running program's inode, opened through /proc/<pid>/exe.
  UniqueFd openExecutable() const;
  uid_t owner() const;  // of /proc/<pid>; (uid_t)-1 when unreadable

 private:
  pid_t pid_;
  UniqueFd pidfd_;
};

}  // namespace orlith
