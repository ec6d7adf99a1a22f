// Reading a whole file.
#include "base/FileContents.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace orlith {

std::string readFileContents(const std::filesystem::path& file, std::size_t maxSize) {
  int fd;
  do {
    fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    throw std::system_error(errno, std::generic_category(), "cannot open " + file.string());
  }
  struct Closer {
    int fd;
    // Nothing was written through it, so a failing close loses nothing.
    ~Closer() { ::close(fd); }
  } closer{fd};
  std::string contents;
  char buffer[64 * 1024];
  for (;;) {
    ssize_t count = ::read(fd, buffer, sizeof buffer);
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

}  // namespace orlith
