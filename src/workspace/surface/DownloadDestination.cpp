// Staging, naming and clean-up of one download, with descriptor-relative file work so that the
// payload is moved within the folder it was staged in.
#include "workspace/surface/DownloadDestination.h"

#include <fcntl.h>
#include <glib.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>
#include <vector>

#include "base/DescriptorTree.h"
#include "base/LocalizedStrings.h"
#include "base/WorkerPool.h"

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

// The Downloads folder itself may be a link the person made; it is followed like any path they
// chose. What lies inside it is opened relative to it, never through a link.
Descriptor openFolder(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    throwErrno("cannot open the Downloads folder");
  return Descriptor(fd);
}

// The longest name the folder's file system takes (shorter on some encrypted homes).
std::size_t nameLimit(int folder) {
  struct statfs info {};
  if (::fstatfs(folder, &info) != 0 || info.f_namelen <= 0)
    return DownloadDestination::kMaxNameBytes;
  return std::min<std::size_t>(DownloadDestination::kMaxNameBytes,
                               static_cast<std::size_t>(info.f_namelen));
}

bool isHiddenCharacter(gunichar c) {
  switch (g_unichar_type(c)) {
    case G_UNICODE_CONTROL:
    case G_UNICODE_FORMAT:
    case G_UNICODE_LINE_SEPARATOR:
    case G_UNICODE_PARAGRAPH_SEPARATOR:
      return true;
    default:
      return false;
  }
}

// Every control or format character and every byte outside a UTF-8 character becomes "_".
std::string replaceHiddenCharacters(std::string_view text) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) {
      out += (byte < 0x20 || byte == 0x7f) ? '_' : static_cast<char>(byte);
      ++at;
      continue;
    }
    const char* start = text.data() + at;
    const gunichar c = g_utf8_get_char_validated(start, static_cast<gssize>(text.size() - at));
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
      out += '_';
      ++at;
      continue;
    }
    const auto length = static_cast<std::size_t>(g_utf8_next_char(start) - start);
    if (isHiddenCharacter(c))
      out += '_';
    else
      out.append(start, length);
    at += length;
  }
  return out;
}

// No leading dots or spaces (hidden or odd files), no leading dash (read as an option), and no
// trailing dots or spaces, which a file list does not show.
std::string withoutRiskyEnds(std::string name) {
  auto first = name.find_first_not_of(". ");
  if (first == std::string::npos)
    return std::string();
  name = name.substr(first, name.find_last_not_of(". ") - first + 1);
  if (!name.empty() && name.front() == '-')
    name.front() = '_';
  return name;
}

}  // namespace

int DownloadDestination::moveNoReplace(int fromFolder, const char* from, int toFolder,
                                       const char* to) {
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

namespace {

std::string filled(std::string text, std::string_view marker, const std::string& value) {
  if (auto at = text.find(marker); at != std::string::npos)
    text.replace(at, marker.size(), value);
  return text;
}

}  // namespace

std::string DownloadProblem::title() const {
  return localizedString("Download not saved");
}

std::string DownloadProblem::body() const {
  if (keptAt) {
    return filled(filled(localizedString("“%1” was downloaded, but your Downloads folder took no "
                                         "name for it. It is kept at %2."),
                         "%1", fileName),
                  "%2", keptAt->string());
  }
  return filled(localizedString("“%1” could not be saved in your Downloads folder."), "%1",
                fileName);
}

DownloadNotPlaced::DownloadNotPlaced(int error, std::filesystem::path keptAt)
    : std::system_error(error, std::generic_category(), "cannot name the download"),
      keptAt_(std::move(keptAt)) {}

DownloadDestination::DownloadDestination(ActiveDownloads& registry, UuidSource& uuids,
                                         MoveFunction move)
    : registry_(registry), move_(move ? move : moveNoReplace), id_(uuids.next()) {
  registry_.insert(id_);
}

DownloadDestination::~DownloadDestination() {
  discard();
}

void DownloadDestination::leaveRegistry() {
  if (std::exchange(registered_, false))
    registry_.remove(id_);
}

std::string DownloadDestination::sanitisedFileName(std::string_view suggested,
                                                   std::size_t maxBytes) {
  auto slash = suggested.find_last_of("/\\");
  std::string_view last = slash == std::string_view::npos ? suggested : suggested.substr(slash + 1);
  std::string name = withoutRiskyEnds(replaceHiddenCharacters(last));
  if (name.size() > maxBytes) {
    const std::size_t dot = extensionStart(name);
    const std::string extension = name.substr(dot);
    const std::size_t room = maxBytes > extension.size() ? maxBytes - extension.size() : 0;
    name = cutUtf8(std::string_view(name).substr(0, dot), room) + extension;
    // The cut may leave only the extension or end in a space: the final name is checked again.
    name = withoutRiskyEnds(cutUtf8(name, maxBytes));
  }
  if (name.empty())
    return std::string(kFallbackName);
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
  try {
    claim_ = FolderClaim::claim(folder.get(), stagingName);
  } catch (const std::system_error& error) {
    throw std::system_error(error.code(), "cannot claim the download's staging folder");
  }
  // Only now, so the sweep can never take this download's own folder.
  WorkerPool::shared().submit(
      [downloadsFolder] { removeUnclaimedStagingFolders(downloadsFolder); });
  downloadsFolder_ = downloadsFolder;
  staging_ = downloadsFolder / stagingName;
  // Room for a number: " (9999)" is seven bytes.
  const std::size_t limit = nameLimit(folder.get());
  fileName_ = sanitisedFileName(suggestedName, limit < kMaxNameBytes ? limit - 7 : limit);
  state_ = State::staged;
  return *staging_ / kPayloadName;
}

std::filesystem::path DownloadDestination::finish() {
  if (state_ != State::staged)
    throw std::logic_error("download not staged");
  Descriptor folder = openFolder(downloadsFolder_);
  Descriptor staging(::openat(folder.get(), staging_->filename().c_str(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
  if (staging.get() < 0) {
    const int error = errno;
    discard();
    throw std::system_error(error, std::generic_category(), "cannot open the download's folder");
  }
  const std::string payload(kPayloadName);
  std::string placed;
  auto place = [&](const std::string& name) {
    int error = EEXIST;
    for (int number = 1; error == EEXIST && number < 10000; ++number) {
      placed = numberedFileName(name, number);
      error = move_(staging.get(), payload.c_str(), folder.get(), placed.c_str());
    }
    return error;
  };
  int error = place(fileName_);
  if (error != 0 && error != ENOENT) {
    // The file system refused the name itself (too long, characters it does not take): a plain
    // name with a plain extension still keeps the file.
    const std::string extension = fileName_.substr(extensionStart(fileName_));
    const bool plainExtension =
        std::all_of(extension.begin() + (extension.empty() ? 0 : 1), extension.end(),
                    [](char c) { return g_ascii_isalnum(c); });
    const std::string fallback = std::string(kFallbackName) + (plainExtension ? extension : "");
    if (fallback != fileName_)
      error = place(fallback);
  }
  if (error == 0) {
    discard();
    state_ = State::finished;
    return downloadsFolder_ / placed;
  }
  if (error == ENOENT) {
    discard();
    throw std::system_error(error, std::generic_category(), "the download has no payload");
  }
  // Never delete what was downloaded: it stays in its own folder, and the person is told where.
  // The mark keeps a later sweep from taking it once this process has let go of its claim.
  Descriptor kept(::openat(staging.get(), std::string(kKeptMarker).c_str(),
                           O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
  std::filesystem::path keptAt = *staging_ / kPayloadName;
  staging_.reset();
  leaveRegistry();
  state_ = State::kept;
  throw DownloadNotPlaced(error, keptAt);
}

void DownloadDestination::discard() {
  if (staging_) {
    std::error_code ignored;
    // What is left of a failed or cancelled download is of no use to anyone.
    std::filesystem::remove_all(*staging_, ignored);
    staging_.reset();
  }
  claim_ = FolderClaim();
  leaveRegistry();
  if (state_ != State::finished && state_ != State::kept)
    state_ = State::discarded;
}

void DownloadDestination::removeUnclaimedStagingFolders(
    const std::filesystem::path& downloadsFolder) {
  const Descriptor folder(::open(downloadsFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0)
    return;
  std::vector<std::string> names;
  try {
    names = DescriptorTree::namesIn(folder.get());
  } catch (const std::system_error&) {
    return;
  }
  for (const std::string& name : names) {
    if (!isStagingFolderName(name))
      continue;
    struct stat mark {};
    const std::string kept = name + "/" + std::string(kKeptMarker);
    if (::fstatat(folder.get(), kept.c_str(), &mark, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
      continue;
    try {
      FolderClaim::removeUnclaimed(folder.get(), name);
    } catch (const std::exception&) {
      // Left for the next sweep; nothing depends on its absence.
    }
  }
}

bool DownloadDestination::isStagingFolderName(std::string_view name) {
  if (!name.starts_with(kStagingPrefix))
    return false;
  const std::string_view id = name.substr(kStagingPrefix.size());
  const auto canonical = canonicalUuid(id);
  return canonical && *canonical == id;
}

}  // namespace orlith
