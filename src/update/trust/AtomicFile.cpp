// Atomic, descriptor-relative file writes.
#include "update/trust/AtomicFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "update/trust/UniqueFd.h"

namespace orlith {
namespace {

[[noreturn]] void throwErrno(int error) {
  throw std::system_error(error, std::generic_category());
}

std::string randomSuffix() {
  unsigned char bytes[8];
  std::size_t filled = 0;
  while (filled < sizeof bytes) {
    const ssize_t got = ::getrandom(bytes + filled, sizeof bytes - filled, 0);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno(errno);
    }
    filled += static_cast<std::size_t>(got);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const unsigned char b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 0x0F];
  }
  return out;
}

void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

void AtomicFile::write(const std::filesystem::path& folder, std::string_view name,
                       std::string_view bytes, mode_t mode) {
  const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!dir) {
    throwErrno(errno);
  }
  writeAt(dir.get(), name, bytes, mode);
}

void AtomicFile::writeAt(int folder, std::string_view name, std::string_view bytes, mode_t mode) {
  const std::string finalName(name);
  const std::string temporary = "." + finalName + "." + randomSuffix();
  UniqueFd file(::openat(folder, temporary.c_str(),
                         O_CREAT | O_EXCL | O_NOFOLLOW | O_WRONLY | O_CLOEXEC, 0600));
  if (!file) {
    throwErrno(errno);
  }
  try {
    writeAll(file.get(), bytes);
    if (::fsync(file.get()) != 0) {
      throwErrno(errno);
    }
    if (::renameat(folder, temporary.c_str(), folder, finalName.c_str()) != 0) {
      throwErrno(errno);
    }
  } catch (...) {
    ::unlinkat(folder, temporary.c_str(), 0);
    throw;
  }
  // Through the descriptor, so the mode lands on the file written, whatever the name holds now.
  if (::fchmod(file.get(), mode) != 0) {
    throwErrno(errno);
  }
  if (::fsync(folder) != 0 && errno != EINVAL) {
    throwErrno(errno);
  }
}

}  // namespace orlith
