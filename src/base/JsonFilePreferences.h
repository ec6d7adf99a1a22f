// Preferences kept in one JSON file, every change written atomically before the setter returns.
//
// The file is a JSON object from key to value: strings, Booleans and numbers as themselves, data
// as {"$data": "<base64>"}. Entries of any other form (written by a later version, say) read as
// absent and are written back unchanged.
#pragma once

#include <filesystem>

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

  // Loads the file. Temporary files that an interrupted write left beside it are removed.
  explicit JsonFilePreferences(std::filesystem::path file);

  // <XDG config dir>/orlith/preferences.json
  static std::filesystem::path defaultPath();

  const std::filesystem::path& file() const { return file_; }
  LoadOutcome loadOutcome() const { return loadOutcome_; }

  std::optional<PreferenceValue> value(const std::string& key) const override;

 protected:
  // A write writes a temporary file in the same folder (created with mode 0700 when missing),
  // syncs it, renames it over the file and syncs the folder. When that fails (full disk, say)
  // the old file stays as it was, the in-memory value is unchanged and std::system_error is
  // thrown. A string that is not valid UTF-8 cannot be stored: std::invalid_argument.
  void store(const std::string& key, const PreferenceValue& value) override;
  void erase(const std::string& key) override;

 private:
  void write(const Json& document);
  void setCorruptFileAside(int directoryFd);
  void removeStrayTemporaryFiles() const;

  std::filesystem::path file_;
  Json document_ = Json::object();
  LoadOutcome loadOutcome_ = LoadOutcome::Missing;
  bool corruptFileInPlace_ = false;
};

}  // namespace orlith
