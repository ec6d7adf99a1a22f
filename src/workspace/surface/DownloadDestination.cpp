// Staging, naming and clean-up of one download, with descriptor-relative file work so that the
// payload is moved within the folder it was staged in.
#include "workspace/surface/DownloadDestination.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace orlith {
namespace {

[[noreturn]] void throwErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// Cuts `text` to at most `bytes` bytes without splitting a UTF-8 sequence.
std::string cutUtf8(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes)
    return std::string(text);
  std::size_t cut = bytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
    --cut;
  return std::string(text.substr(0, cut));
}

// The extension with its dot, when there is one that fits.
std::size_t extensionStart(const std::string& name) {
  auto dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || name.size() - dot > 32)
    return name.size();
  return dot;
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~Descriptor() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

Descriptor openFolder(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0)
    throwErrno("cannot open the Downloads folder");
  return Descriptor(fd);
}

// Moves `from` in `fromFolder` to `to` in `toFolder` unless `to` exists.
int moveNoReplace(int fromFolder, const char* from, int toFolder, const char* to) {
  if (::renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE) == 0)
    return 0;
  if (errno != EINVAL && errno != ENOSYS)
    return errno;
  // A file system without the flag: a hard link fails on an existing name just the same.
  if (::linkat(fromFolder, from, toFolder, to, 0) != 0)
    return errno;
  ::unlinkat(fromFolder, from, 0);
  return 0;
}

}  // namespace

DownloadDestination::DownloadDestination(ActiveDownloads& registry, UuidSource& uuids)
    : registry_(registry), id_(uuids.next()) {
  registry_.insert(id_);
}

DownloadDestination::~DownloadDestination() {
  discard();
}

void DownloadDestination::leaveRegistry() {
  if (std::exchange(registered_, false))
    registry_.remove(id_);
}

std::string DownloadDestination::sanitisedFileName(std::string_view suggested) {
  auto slash = suggested.find_last_of("/\\");
  std::string_view last = slash == std::string_view::npos ? suggested : suggested.substr(slash + 1);
  std::string name;
  for (char c : last) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f)
      continue;
    name += c;
  }
  auto first = name.find_first_not_of(". ");
  name = first == std::string::npos ? std::string() : name.substr(first);
  if (name.empty() || name == "." || name == "..")
    return std::string(kFallbackName);
  if (name.size() > kMaxNameBytes) {
    const std::size_t dot = extensionStart(name);
    const std::string extension = name.substr(dot);
    name = cutUtf8(std::string_view(name).substr(0, dot), kMaxNameBytes - extension.size()) +
           extension;
  }
  return name;
}

std::string DownloadDestination::numberedFileName(const std::string& name, int number) {
  if (number <= 1)
    return name;
  const std::size_t dot = extensionStart(name);
  const std::string suffix = " (" + std::to_string(number) + ")" + name.substr(dot);
  return cutUtf8(std::string_view(name).substr(0, dot), kMaxNameBytes - suffix.size()) + suffix;
}

std::filesystem::path DownloadDestination::stage(const std::filesystem::path& downloadsFolder,
                                                 std::string_view suggestedName) {
  if (state_ != State::registered)
    throw std::logic_error("download already staged or ended");
  std::filesystem::create_directories(downloadsFolder);
  Descriptor folder = openFolder(downloadsFolder);
  const std::string stagingName = std::string(kStagingPrefix) + id_;
  if (::mkdirat(folder.get(), stagingName.c_str(), 0700) != 0)
    throwErrno("cannot make the download's staging folder");
  downloadsFolder_ = downloadsFolder;
  staging_ = downloadsFolder / stagingName;
  fileName_ = sanitisedFileName(suggestedName);
  state_ = State::staged;
  return *staging_ / kPayloadName;
}

std::filesystem::path DownloadDestination::finish() {
  if (state_ != State::staged)
    throw std::logic_error("download not staged");
  Descriptor folder = openFolder(downloadsFolder_);
  Descriptor staging(::openat(folder.get(), staging_->filename().c_str(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
  int error = staging.get() < 0 ? errno : EEXIST;
  const std::string payload(kPayloadName);
  std::string placed;
  for (int number = 1; staging.get() >= 0 && error == EEXIST && number < 10000; ++number) {
    placed = numberedFileName(fileName_, number);
    error = moveNoReplace(staging.get(), payload.c_str(), folder.get(), placed.c_str());
  }
  discard();
  if (error != 0)
    throw std::system_error(error, std::generic_category(), "cannot move the download");
  state_ = State::finished;
  return downloadsFolder_ / placed;
}

void DownloadDestination::discard() {
  if (staging_) {
    std::error_code ignored;
    // What is left of a failed or cancelled download is of no use to anyone.
    std::filesystem::remove_all(*staging_, ignored);
    staging_.reset();
  }
  leaveRegistry();
  if (state_ != State::finished)
    state_ = State::discarded;
}

}  // namespace orlith
