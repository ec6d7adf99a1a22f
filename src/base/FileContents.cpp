// Reading a whole file, and replacing one through a temporary file beside it.
#include "base/FileContents.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "base/Uuid.h"

namespace orlith {

namespace {

[[noreturn]] void throwErrno(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), what);
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) {
      // Only reached on paths that already fail or that wrote nothing.
      ::close(fd_);
    }
  }
  int get() const { return fd_; }
  // Closes and reports the result, which matters for a file that was written.
  int close() {
    int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

void writeAll(int fd, std::string_view bytes, const std::filesystem::path& file) {
  while (!bytes.empty()) {
    ssize_t count = ::write(fd, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno(errno, "cannot write " + file.string());
    }
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
}

}  // namespace

std::string readFileContents(const std::filesystem::path& file, std::size_t maxSize) {
  int fd;
  do {
    fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    throw std::system_error(errno, std::generic_category(), "cannot open " + file.string());
  }
  // Nothing is written through it, so a failing close loses nothing.
  Descriptor input(fd);
  std::string contents;
  char buffer[64 * 1024];
  for (;;) {
    ssize_t count = ::read(input.get(), buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw std::system_error(errno, std::generic_category(), "cannot read " + file.string());
    }
    if (count == 0) {
      return contents;
    }
    if (contents.size() + static_cast<std::size_t>(count) > maxSize) {
      throw std::system_error(EFBIG, std::generic_category(), file.string() + " is too large");
    }
    contents.append(buffer, static_cast<std::size_t>(count));
  }
}

std::string temporaryFilePrefix(const std::filesystem::path& file) {
  return "." + file.filename().string() + ".tmp-";
}

void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes, mode_t mode) {
  std::filesystem::path directory = file.parent_path();
  if (directory.empty()) {
    directory = ".";
  }
  Descriptor directoryFd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directoryFd.get() < 0) {
    throwErrno(errno, "cannot open " + directory.string());
  }
  const std::string name = file.filename().string();
  std::string temporaryName;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
    temporaryName = temporaryFilePrefix(file) + makeRandomUuid().substr(0, 8);
    // O_EXCL also refuses a link planted under the name, dangling or not.
    fd = ::openat(directoryFd.get(), temporaryName.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST && errno != EINTR) {
      throwErrno(errno, "cannot create a temporary file in " + directory.string());
    }
  }
  if (fd < 0) {
    throwErrno(EEXIST, "cannot create a temporary file in " + directory.string());
  }
  Descriptor output(fd);
  try {
    writeAll(output.get(), bytes, file);
    if (::fsync(output.get()) != 0) {
      throwErrno(errno, "cannot sync " + file.string());
    }
    if (output.close() != 0) {
      throwErrno(errno, "cannot write " + file.string());
    }
    if (::renameat(directoryFd.get(), temporaryName.c_str(), directoryFd.get(), name.c_str()) !=
        0) {
      throwErrno(errno, "cannot replace " + file.string());
    }
  } catch (...) {
    ::unlinkat(directoryFd.get(), temporaryName.c_str(), 0);
    throw;
  }
  // The new file is in place and in effect. A failed folder sync only weakens its durability
  // across a power loss; reporting the whole write as failed would misstate what happened.
  ::fsync(directoryFd.get());
}

}  // namespace orlith
