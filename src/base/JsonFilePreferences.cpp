// Preferences in one atomically replaced JSON file, shared with other processes under a lock.
#include "base/JsonFilePreferences.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "base/Base64.h"
#include "base/FileContents.h"

namespace orlith {

namespace {

constexpr std::string_view kDataMember = "$data";
// Preferences are small; a larger file is not one of ours.
constexpr std::size_t kMaxFileSize = 16 << 20;

[[noreturn]] void throwErrno(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), what);
}

void makeDirectories(const std::filesystem::path& directory) {
  std::filesystem::path partial;
  for (const auto& component : directory) {
    partial /= component;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
      throwErrno(errno, "cannot create " + partial.string());
    }
  }
}

// An flock on the lock file, held until destruction. Every process that writes the file takes
// it, so a read, change and replace is never interleaved with another's.
class FileLock {
 public:
  // Throws std::system_error when the lock file cannot be opened or locked, with ETIMEDOUT when
  // another holds the lock past `timeout` (at once for a time-out of zero).
  FileLock(const std::filesystem::path& file, std::chrono::milliseconds timeout) {
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      throwErrno(errno, "cannot open " + file.string());
    }
    int error = lockNow(fd_);
    if (error == EWOULDBLOCK && timeout.count() > 0) {
      error = waitForLock(timeout);
    }
    if (error != 0) {
      if (fd_ >= 0) {
        ::close(fd_);
      }
      throwErrno(error, error == ETIMEDOUT ? "another process keeps " + file.string() + " locked"
                                           : "cannot lock " + file.string());
    }
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  // Closing releases the lock; nothing was written through the descriptor.
  ~FileLock() { ::close(fd_); }

 private:
  static int lockNow(int fd) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EINTR) {
        return errno;
      }
    }
    return 0;
  }

  // A blocking flock waits in the kernel's queue, so a process that writes often cannot starve
  // this one as polling would let it. It waits on a thread of its own, which the time-out
  // abandons: that thread closes the descriptor once it gets the lock, which releases it again.
  int waitForLock(std::chrono::milliseconds timeout) {
    struct Wait {
      std::mutex mutex;
      std::condition_variable done;
      std::optional<int> error;
      bool abandoned = false;
    };
    auto wait = std::make_shared<Wait>();
    const int fd = fd_;
    try {
      std::thread([wait, fd] {
        int result;
        do {
          result = ::flock(fd, LOCK_EX) == 0 ? 0 : errno;
        } while (result == EINTR);
        std::lock_guard lock(wait->mutex);
        if (wait->abandoned) {
          ::close(fd);
          return;
        }
        wait->error = result;
        wait->done.notify_one();
      }).detach();
    } catch (const std::system_error&) {
      return EAGAIN;
    }
    std::unique_lock lock(wait->mutex);
    if (wait->done.wait_for(lock, timeout, [&] { return wait->error.has_value(); })) {
      return *wait->error;
    }
    wait->abandoned = true;
    // The descriptor is the thread's to close now.
    fd_ = -1;
    return ETIMEDOUT;
  }

  int fd_ = -1;
};

std::optional<PreferenceValue> decodeEntry(const Json& entry) {
  if (entry.is_string()) {
    return PreferenceValue(std::in_place_type<std::string>, entry.get<std::string>());
  }
  if (entry.is_boolean()) {
    return PreferenceValue(std::in_place_type<bool>, entry.get<bool>());
  }
  if (entry.is_number()) {
    return PreferenceValue(std::in_place_type<double>, entry.get<double>());
  }
  if (entry.is_object() && entry.size() == 1) {
    auto it = entry.find(kDataMember);
    if (it != entry.end() && it->is_string()) {
      if (auto bytes = base64Decode(it->get_ref<const std::string&>())) {
        return PreferenceValue(std::in_place_type<PreferenceData>, std::move(*bytes));
      }
    }
  }
  return std::nullopt;
}

Json encodeEntry(const PreferenceValue& value) {
  return std::visit(
      [](const auto& alternative) -> Json {
        using T = std::decay_t<decltype(alternative)>;
        if constexpr (std::is_same_v<T, PreferenceData>) {
          return Json{{kDataMember, base64Encode(alternative)}};
        } else {
          return Json(alternative);
        }
      },
      value);
}

}  // namespace

JsonFilePreferences::JsonFilePreferences(std::filesystem::path file,
                                         std::chrono::milliseconds lockTimeout)
    : file_(std::move(file)), lockTimeout_(lockTimeout) {
  removeStrayTemporaryFiles();
  auto [document, outcome] = readDocument();
  document_ = std::move(document);
  loadOutcome_ = outcome == ReadOutcome::Loaded    ? LoadOutcome::Loaded
                 : outcome == ReadOutcome::Missing ? LoadOutcome::Missing
                                                   : LoadOutcome::Corrupt;
}

std::filesystem::path JsonFilePreferences::defaultPath() {
  return std::filesystem::path(g_get_user_config_dir()) / "orlith" / "preferences.json";
}

std::filesystem::path JsonFilePreferences::lockPath() const {
  return file_.parent_path() / ("." + file_.filename().string() + ".lock");
}

std::pair<Json, JsonFilePreferences::ReadOutcome> JsonFilePreferences::readDocument() const {
  try {
    Json document = parseJson(readFileContents(file_, kMaxFileSize));
    if (document.is_object()) {
      return {std::move(document), ReadOutcome::Loaded};
    }
  } catch (const std::system_error& error) {
    if (error.code() == std::errc::no_such_file_or_directory ||
        error.code() == std::errc::not_a_directory) {
      return {Json::object(), ReadOutcome::Missing};
    }
    // Any other read failure is treated as a corrupt file, below.
  } catch (const JsonDecodeError&) {
    // Treated as a corrupt file, below.
  }
  return {Json::object(), ReadOutcome::Corrupt};
}

std::optional<PreferenceValue> JsonFilePreferences::value(const std::string& key) const {
  auto it = document_.find(key);
  if (it == document_.end()) {
    return std::nullopt;
  }
  return decodeEntry(*it);
}

void JsonFilePreferences::reload() {
  auto [document, outcome] = readDocument();
  if (outcome != ReadOutcome::Corrupt) {
    adopt(std::move(document), nullptr);
  }
}

void JsonFilePreferences::adopt(Json document, const std::string* except) {
  std::vector<std::string> changedKeys;
  for (const auto& [key, entry] : document_.items()) {
    auto now = document.find(key);
    if ((now == document.end() || *now != entry) && (!except || key != *except)) {
      changedKeys.push_back(key);
    }
  }
  for (const auto& [key, entry] : document.items()) {
    if (!document_.contains(key) && (!except || key != *except)) {
      changedKeys.push_back(key);
    }
  }
  document_ = std::move(document);
  for (const std::string& key : changedKeys) {
    notifyChanged(key);
  }
}

void JsonFilePreferences::store(const std::string& key, const PreferenceValue& value) {
  change(key, encodeEntry(value));
}

void JsonFilePreferences::erase(const std::string& key) {
  change(key, std::nullopt);
}

void JsonFilePreferences::change(const std::string& key, const std::optional<Json>& entry) {
  std::filesystem::path directory = file_.parent_path();
  if (directory.empty()) {
    directory = ".";
  }
  makeDirectories(directory);
  FileLock lock(lockPath(), lockTimeout_);
  // The file as the other processes left it: only this key is this write's to change.
  auto [document, outcome] = readDocument();
  if (outcome == ReadOutcome::Corrupt) {
    // What this process last read is the best left of it; the file itself is kept aside.
    document = document_;
  }
  if (entry) {
    document[key] = *entry;
  } else {
    document.erase(key);
  }
  std::string text;
  try {
    text = document.dump(2) + "\n";
  } catch (const Json::type_error&) {
    throw std::invalid_argument("Preferences: a key or string is not valid UTF-8");
  }
  if (outcome == ReadOutcome::Corrupt) {
    setCorruptFileAside();
  }
  writeFileAtomically(file_, text, 0600);
  adopt(std::move(document), &key);
}

void JsonFilePreferences::setCorruptFileAside() {
  const std::string name = file_.string();
  for (int index = 0; index < 100; ++index) {
    std::string aside = name + ".corrupt" + (index == 0 ? "" : "." + std::to_string(index));
    if (::renameat2(AT_FDCWD, name.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
      return;
    }
    if (errno == ENOENT) {
      // Nothing is left to keep.
      return;
    }
    if (errno != EEXIST) {
      throwErrno(errno, "cannot keep the unreadable " + file_.string() + " aside");
    }
  }
  throwErrno(EEXIST, "cannot keep the unreadable " + file_.string() + " aside");
}

void JsonFilePreferences::removeStrayTemporaryFiles() const {
  std::error_code error;
  std::filesystem::path directory = file_.parent_path().empty() ? "." : file_.parent_path();
  if (!std::filesystem::is_directory(directory, error)) {
    return;
  }
  try {
    // A write in progress holds the lock and its temporary file is not stray: the sweep waits
    // for no one and is left to a later start.
    FileLock lock(lockPath(), std::chrono::milliseconds(0));
    std::string prefix = temporaryFilePrefix(file_);
    // Best effort: a folder that cannot be listed is reported by the first write instead.
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
      if (it->path().filename().string().starts_with(prefix)) {
        std::filesystem::remove(it->path(), error);
        error.clear();
      }
    }
  } catch (const std::system_error&) {
    // Locked by another process's write, or no lock file can be made: nothing is swept now.
  }
}

}  // namespace orlith
