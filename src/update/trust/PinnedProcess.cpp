// pidfd-pinned processes.
#include "update/trust/PinnedProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace orlith {
namespace {

std::string procPath(pid_t pid, const char* leaf) {
  return "/proc/" + std::to_string(pid) + leaf;
}

}  // namespace

std::optional<PinnedProcess> PinnedProcess::open(pid_t pid, PinResult* result) {
  PinResult outcome = PinResult::refused;
  std::optional<PinnedProcess> process;
  if (pid > 0) {
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0) {
      outcome = PinResult::pinned;
      process.emplace(pid, UniqueFd(static_cast<int>(fd)));
    } else if (errno == ESRCH) {
      outcome = PinResult::exited;
    }
  }
  if (result != nullptr) {
    *result = outcome;
  }
  return process;
}

bool PinnedProcess::isTerminated() const {
  pollfd entry{pidfd_.get(), POLLIN, 0};
  int ready = -1;
  do {
    ready = ::poll(&entry, 1, 0);
  } while (ready < 0 && errno == EINTR);
  // A failed poll leaves nothing proven about the process: treat it as gone.
  return ready != 0;
}

std::optional<std::filesystem::path> PinnedProcess::executable() const {
  std::string target(4096, '\0');
  const std::string link = procPath(pid_, "/exe");
  const ssize_t size = ::readlink(link.c_str(), target.data(), target.size());
  if (size <= 0 || static_cast<std::size_t>(size) >= target.size()) {
    return std::nullopt;
  }
  target.resize(static_cast<std::size_t>(size));
  if (target.ends_with(" (deleted)") || target.front() != '/') {
    return std::nullopt;
  }
  return std::filesystem::path(target);
}

UniqueFd PinnedProcess::openExecutable() const {
  const std::string link = procPath(pid_, "/exe");
  return UniqueFd(::open(link.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
}

uid_t PinnedProcess::owner() const {
  struct stat info {};
  const std::string folder = procPath(pid_, "");
  if (::stat(folder.c_str(), &info) != 0) {
    return static_cast<uid_t>(-1);
  }
  return info.st_uid;
}

}  // namespace orlith
