// Descriptor-relative file helpers.
#include "update/trust/DescriptorFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>
#include <vector>

#include "base/DescriptorTree.h"
#include "base/Sha256.h"
#include "update/trust/UpdateWire.h"

namespace orlith {

UniqueFd DescriptorFiles::openDirectory(int folder, const std::string& name) {
  return UniqueFd(::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

UniqueFd DescriptorFiles::openDirectory(const std::string& path) {
  return UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

UniqueFd DescriptorFiles::openRegularFile(int folder, const std::string& name) {
  UniqueFd file(
      ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat info {};
  if (!file || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return UniqueFd();
  }
  return file;
}

std::vector<std::string> DescriptorFiles::namesIn(int folder) {
  std::vector<std::string> names = DescriptorTree::namesIn(folder);
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::string> DescriptorFiles::readAtMost(int fd, std::size_t limit) {
  std::string content;
  std::vector<char> block(64 * 1024);
  while (content.size() <= limit) {
    const ssize_t got = ::read(fd, block.data(), block.size());
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return std::nullopt;
    }
    if (got == 0) {
      break;
    }
    content.append(block.data(), static_cast<std::size_t>(got));
  }
  if (content.size() > limit + 1) {
    content.resize(limit + 1);
  }
  return content;
}

std::string DescriptorFiles::sha256Of(int fd) {
  Sha256 hash;
  std::vector<char> block(update_wire::kHashBlockSize);
  for (;;) {
    const ssize_t got = ::read(fd, block.data(), block.size());
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno(errno);
    }
    if (got == 0) {
      break;
    }
    hash.update(block.data(), static_cast<std::size_t>(got));
  }
  return hash.finishHex();
}

std::optional<struct stat> DescriptorFiles::statAt(int folder, const std::string& name) {
  struct stat info {};
  if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return std::nullopt;
  }
  return info;
}

void DescriptorFiles::throwErrno(int error) {
  throw std::system_error(error, std::generic_category());
}

}  // namespace orlith
