// Preferences in one atomically replaced JSON file.
#include "base/JsonFilePreferences.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <system_error>

#include "base/Base64.h"
#include "base/FileContents.h"
#include "base/Uuid.h"

namespace orlith {

namespace {

constexpr std::string_view kDataMember = "$data";
// Preferences are small; a larger file is not one of ours.
constexpr std::size_t kMaxFileSize = 16 << 20;

[[noreturn]] void throwErrno(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), what);
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
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

std::string temporaryPrefix(const std::filesystem::path& file) {
  return "." + file.filename().string() + ".tmp-";
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

JsonFilePreferences::JsonFilePreferences(std::filesystem::path file) : file_(std::move(file)) {
  removeStrayTemporaryFiles();
  try {
    Json document = parseJson(readFileContents(file_, kMaxFileSize));
    if (document.is_object()) {
      document_ = std::move(document);
      loadOutcome_ = LoadOutcome::Loaded;
      return;
    }
  } catch (const std::system_error& error) {
    if (error.code() == std::errc::no_such_file_or_directory ||
        error.code() == std::errc::not_a_directory) {
      loadOutcome_ = LoadOutcome::Missing;
      return;
    }
    // Any other read failure is treated as a corrupt file, below.
  } catch (const JsonDecodeError&) {
    // Treated as a corrupt file, below.
  }
  loadOutcome_ = LoadOutcome::Corrupt;
  corruptFileInPlace_ = true;
}

std::filesystem::path JsonFilePreferences::defaultPath() {
  return std::filesystem::path(g_get_user_config_dir()) / "orlith" / "preferences.json";
}

std::optional<PreferenceValue> JsonFilePreferences::value(const std::string& key) const {
  auto it = document_.find(key);
  if (it == document_.end()) {
    return std::nullopt;
  }
  return decodeEntry(*it);
}

void JsonFilePreferences::store(const std::string& key, const PreferenceValue& value) {
  Json document = document_;
  document[key] = encodeEntry(value);
  write(document);
  document_ = std::move(document);
}

void JsonFilePreferences::erase(const std::string& key) {
  Json document = document_;
  document.erase(key);
  write(document);
  document_ = std::move(document);
}

void JsonFilePreferences::write(const Json& document) {
  std::string text;
  try {
    text = document.dump(2) + "\n";
  } catch (const Json::type_error&) {
    throw std::invalid_argument("Preferences: a key or string is not valid UTF-8");
  }

  std::filesystem::path directory = file_.parent_path();
  if (directory.empty()) {
    directory = ".";
  }
  makeDirectories(directory);
  Descriptor directoryFd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directoryFd.get() < 0) {
    throwErrno(errno, "cannot open " + directory.string());
  }

  std::string name = file_.filename().string();
  std::string temporaryName;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
    temporaryName = temporaryPrefix(file_) + makeRandomUuid().substr(0, 8);
    fd = ::openat(directoryFd.get(), temporaryName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                  0600);
    if (fd < 0 && errno != EEXIST && errno != EINTR) {
      throwErrno(errno, "cannot create a temporary file in " + directory.string());
    }
  }
  if (fd < 0) {
    throwErrno(EEXIST, "cannot create a temporary file in " + directory.string());
  }
  Descriptor output(fd);
  try {
    writeAll(output.get(), text, file_);
    if (::fsync(output.get()) != 0) {
      throwErrno(errno, "cannot sync " + file_.string());
    }
    if (output.close() != 0) {
      throwErrno(errno, "cannot write " + file_.string());
    }
    if (corruptFileInPlace_) {
      setCorruptFileAside(directoryFd.get());
    }
    if (::renameat(directoryFd.get(), temporaryName.c_str(), directoryFd.get(), name.c_str()) !=
        0) {
      throwErrno(errno, "cannot replace " + file_.string());
    }
  } catch (...) {
    ::unlinkat(directoryFd.get(), temporaryName.c_str(), 0);
    throw;
  }
  // The new file is in place and in effect. A failed folder sync only weakens its durability
  // across a power loss; reporting the whole write as failed would misstate what happened.
  ::fsync(directoryFd.get());
}

void JsonFilePreferences::setCorruptFileAside(int directoryFd) {
  std::string name = file_.filename().string();
  for (int index = 0; index < 100; ++index) {
    std::string aside = name + ".corrupt" + (index == 0 ? "" : "." + std::to_string(index));
    if (::renameat2(directoryFd, name.c_str(), directoryFd, aside.c_str(), RENAME_NOREPLACE) == 0) {
      corruptFileInPlace_ = false;
      return;
    }
    if (errno == ENOENT) {
      // Nothing is left to keep.
      corruptFileInPlace_ = false;
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
  std::string prefix = temporaryPrefix(file_);
  // Best effort: a folder that cannot be listed is reported by the first write instead.
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    if (it->path().filename().string().starts_with(prefix)) {
      std::filesystem::remove(it->path(), error);
      error.clear();
    }
  }
}

}  // namespace orlith
