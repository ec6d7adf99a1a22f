// Descriptor-relative tree writing.
#include "update/trust/UpdateTreeWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "update/trust/DescriptorFiles.h"

namespace orlith {
namespace {

void checkName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    DescriptorFiles::throwErrno(EINVAL);
  }
}

// The folder name inside folder, made 0755 when missing.
UniqueFd enter(int folder, const std::string& name) {
  checkName(name);
  if (::mkdirat(folder, name.c_str(), 0700) == 0) {
    UniqueFd made = DescriptorFiles::openDirectory(folder, name);
    if (!made || ::fchmod(made.get(), 0755) != 0) {
      DescriptorFiles::throwErrno(errno);
    }
    return made;
  }
  if (errno != EEXIST) {
    DescriptorFiles::throwErrno(errno);
  }
  UniqueFd existing = DescriptorFiles::openDirectory(folder, name);
  if (!existing) {
    DescriptorFiles::throwErrno(errno == ELOOP ? ENOTDIR : errno);
  }
  return existing;
}

void writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      DescriptorFiles::throwErrno(errno);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

}  // namespace

UniqueFd UpdateTreeWriter::openParent(const std::vector<std::string>& components) {
  UniqueFd folder(::fcntl(root_, F_DUPFD_CLOEXEC, 0));
  if (!folder) {
    DescriptorFiles::throwErrno(errno);
  }
  for (std::size_t i = 0; i + 1 < components.size(); ++i) {
    folder = enter(folder.get(), components[i]);
  }
  return folder;
}

void UpdateTreeWriter::makeDirectory(const std::vector<std::string>& components) {
  if (components.empty()) {
    DescriptorFiles::throwErrno(EINVAL);
  }
  const UniqueFd parent = openParent(components);
  enter(parent.get(), components.back());
}

std::uint64_t UpdateTreeWriter::writeFile(const std::vector<std::string>& components,
                                          TreeFileMode mode, const Source& source,
                                          std::uint64_t limit) {
  if (components.empty()) {
    DescriptorFiles::throwErrno(EINVAL);
  }
  checkName(components.back());
  const UniqueFd parent = openParent(components);
  const UniqueFd file(::openat(parent.get(), components.back().c_str(),
                               O_CREAT | O_EXCL | O_NOFOLLOW | O_WRONLY | O_CLOEXEC, 0600));
  if (!file) {
    DescriptorFiles::throwErrno(errno);
  }
  std::uint64_t total = 0;
  std::string block(256 * 1024, '\0');
  for (;;) {
    const std::size_t got = source(block.data(), block.size());
    if (got == 0) {
      break;
    }
    total += got;
    if (total > limit) {
      DescriptorFiles::throwErrno(EFBIG);
    }
    writeAll(file.get(), block.data(), got);
  }
  if (::fchmod(file.get(), mode == TreeFileMode::executable ? 0755 : 0644) != 0) {
    DescriptorFiles::throwErrno(errno);
  }
  return total;
}

}  // namespace orlith
