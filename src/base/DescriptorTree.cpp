// Descriptor-relative listing and tree removal.
#include "base/DescriptorTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <system_error>
#include <vector>

namespace orlith {
namespace {

[[noreturn]] void throwErrno(int error) {
  throw std::system_error(error, std::generic_category());
}

}  // namespace

void DescriptorTree::remove(int folder, const std::string& name) {
  struct stat info {};
  if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) {
      return;
    }
    throwErrno(errno);
  }
  if (S_ISDIR(info.st_mode)) {
    const int below =
        ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (below < 0) {
      throwErrno(errno);
    }
    try {
      removeContents(below);
    } catch (...) {
      ::close(below);
      throw;
    }
    ::close(below);
    if (::unlinkat(folder, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
      throwErrno(errno);
    }
  } else if (::unlinkat(folder, name.c_str(), 0) != 0 && errno != ENOENT) {
    throwErrno(errno);
  }
}

void DescriptorTree::removeContents(int folder) {
  for (const std::string& name : namesIn(folder)) {
    remove(folder, name);
  }
}

std::vector<std::string> DescriptorTree::namesIn(int folder) {
  struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
  };
  const int own = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (own < 0) {
    throwErrno(errno);
  }
  const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(own));
  if (!dir) {
    const int error = errno;
    ::close(own);
    throwErrno(error);
  }
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
    errno = 0;
  }
  if (errno != 0) {
    throwErrno(errno);
  }
  return names;
}

}  // namespace orlith
