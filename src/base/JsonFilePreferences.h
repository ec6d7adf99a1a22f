// Preferences kept in one JSON file, every change written atomically before the setter returns.
//
// The file is a JSON object from key to value: strings, Booleans and numbers as themselves, data
// as {"$data": "<base64>"}. Entries of any other form (written by a later version, say) read as
// absent and are written back unchanged.
//
// Several processes may share the file (one user with two sessions): a write changes only its
// own key in the file as it is now, under an advisory lock, and reload() makes the copy follow
// what the others wrote.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>

#include "base/Json.h"
#include "base/Preferences.h"

namespace orlith {

class JsonFilePreferences final : public Preferences {
 public:
  enum class LoadOutcome {
    Loaded,
    Missing,
    // The file could not be read or was not a JSON object. It starts empty, and before the first
    // write the file is renamed to "<name>.corrupt" (or "<name>.corrupt.N" when that is taken)
    // so that nothing is lost silently.
    Corrupt,
  };

  // Writes happen on the main thread: how long one waits for another process's write.
  static constexpr std::chrono::milliseconds kLockTimeout{1000};

  // Loads the file. Temporary files that an interrupted write left beside it are removed.
  explicit JsonFilePreferences(std::filesystem::path file,
                               std::chrono::milliseconds lockTimeout = kLockTimeout);

  // <XDG config dir>/orlith/preferences.json
  static std::filesystem::path defaultPath();

  const std::filesystem::path& file() const { return file_; }
  LoadOutcome loadOutcome() const { return loadOutcome_; }

  std::optional<PreferenceValue> value(const std::string& key) const override;

  // Reads the file again, after another process may have replaced it, and emits changed() for
  // each key whose entry now differs. A file that is gone reads as empty; one that cannot be
  // read or is not a JSON object leaves the copy as it was.
  void reload();

 protected:
  void refresh() override { reload(); }
  // A write takes the lock file beside the file (".<name>.lock"), waiting at most the lock
  // time-out, reads the file, changes the one key and replaces the file atomically in the same
  // folder (created with mode 0700 when missing). When that fails (full disk, the lock held too
  // long) the old file stays as it was, the in-memory value is unchanged and std::system_error
  // is thrown. A string that is not valid UTF-8 cannot be stored: std::invalid_argument.
  void store(const std::string& key, const PreferenceValue& value) override;
  void erase(const std::string& key) override;

 private:
  enum class ReadOutcome { Loaded, Missing, Corrupt };
  // The file's document; empty unless Loaded.
  std::pair<Json, ReadOutcome> readDocument() const;
  void change(const std::string& key, const std::optional<Json>& entry);
  // Takes the document as the copy and emits changed() for the keys it changes, but `except`.
  void adopt(Json document, const std::string* except);
  void setCorruptFileAside();
  void removeStrayTemporaryFiles() const;
  std::filesystem::path lockPath() const;

  std::filesystem::path file_;
  std::chrono::milliseconds lockTimeout_;
  Json document_ = Json::object();
  LoadOutcome loadOutcome_ = LoadOutcome::Missing;
};

}  // namespace orlith
