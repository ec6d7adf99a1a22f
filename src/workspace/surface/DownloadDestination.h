// One download's place on disk: registered while it runs, written as "payload" into its own
// staging folder inside Downloads, and moved out under a safe, unused name when it finishes.
// Every way out (finish, failure, cancel, destruction) leaves no staging folder and no entry.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/Uuid.h"
#include "workspace/surface/ActiveDownloads.h"

namespace orlith {

class DownloadDestination {
 public:
  static constexpr std::string_view kStagingPrefix = ".orlith-download-";
  static constexpr std::string_view kPayloadName = "payload";
  static constexpr std::string_view kFallbackName = "Download";
  static constexpr std::size_t kMaxNameBytes = 255;

  enum class State { registered, staged, finished, discarded };

  // Registers the download under a new id.
  DownloadDestination(ActiveDownloads& registry, UuidSource& uuids);
  ~DownloadDestination();
  DownloadDestination(const DownloadDestination&) = delete;
  DownloadDestination& operator=(const DownloadDestination&) = delete;

  // Makes the staging folder (mode 0700) in `downloadsFolder` and returns where the payload is
  // to be written. Throws std::system_error when the folder cannot be made.
  std::filesystem::path stage(const std::filesystem::path& downloadsFolder,
                              std::string_view suggestedName);
  // Moves the payload into the Downloads folder under the sanitised name, numbered " (2)",
  // " (3)"... when taken, and cleans up. Throws std::system_error when it cannot be moved; the
  // staging folder is removed either way.
  std::filesystem::path finish();
  // Removes the payload and the staging folder and leaves the registry. Safe to repeat.
  void discard();

  State state() const { return state_; }
  const std::string& id() const { return id_; }
  const std::optional<std::filesystem::path>& stagingFolder() const { return staging_; }

  // The last path component, without NUL, control characters, leading dots or spaces, at
  // most kMaxNameBytes bytes cut on a UTF-8 boundary with the extension kept; "Download" when
  // nothing is left or it is "." or "..".
  static std::string sanitisedFileName(std::string_view suggested);
  // "name (n).ext" within kMaxNameBytes; n = 1 gives the name itself.
  static std::string numberedFileName(const std::string& name, int number);

 private:
  void leaveRegistry();

  ActiveDownloads& registry_;
  std::string id_;
  State state_ = State::registered;
  std::filesystem::path downloadsFolder_;
  std::optional<std::filesystem::path> staging_;
  std::string fileName_;
  bool registered_ = true;
};

}  // namespace orlith
