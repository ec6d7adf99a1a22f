// One download's place on disk: registered while it runs, written as "payload" into its own
// staging folder inside Downloads, and moved out under a safe, unused name when it finishes.
// Every way out (finish, failure, cancel, destruction) leaves no staging folder and no entry, and
// the staging folders of a killed app are swept once no live download claims them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "base/FolderClaim.h"
#include "base/Uuid.h"
#include "workspace/surface/ActiveDownloads.h"

namespace orlith {

// A download that was not saved where it should be, for the person to be told.
struct DownloadProblem {
  std::string fileName;
  // Where the finished file was kept when it could be given no name in the folder; none when
  // nothing could be saved.
  std::optional<std::filesystem::path> keptAt;

  std::string title() const;
  std::string body() const;
};

// Thrown by finish() when the finished file could be moved under no name: it stays at keptAt().
class DownloadNotPlaced : public std::system_error {
 public:
  DownloadNotPlaced(int error, std::filesystem::path keptAt);
  const std::filesystem::path& keptAt() const { return keptAt_; }

 private:
  std::filesystem::path keptAt_;
};

class DownloadDestination {
 public:
  static constexpr std::string_view kStagingPrefix = ".orlith-download-";
  static constexpr std::string_view kPayloadName = "payload";
  static constexpr std::string_view kFallbackName = "Download";
  // In a staging folder whose finished file could be given no name: the person's file, kept.
  static constexpr std::string_view kKeptMarker = "kept";
  static constexpr std::size_t kMaxNameBytes = 255;

  enum class State { registered, staged, finished, kept, discarded };

  // Moves `from` in folder `fromFolder` to `to` in `toFolder` unless `to` exists; 0 or errno.
  using MoveFunction = int (*)(int fromFolder, const char* from, int toFolder, const char* to);
  static int moveNoReplace(int fromFolder, const char* from, int toFolder, const char* to);

  // Registers the download under a new id.
  DownloadDestination(ActiveDownloads& registry, UuidSource& uuids,
                      MoveFunction move = moveNoReplace);
  ~DownloadDestination();
  DownloadDestination(const DownloadDestination&) = delete;
  DownloadDestination& operator=(const DownloadDestination&) = delete;

  // Makes the staging folder (mode 0700) in `downloadsFolder` and returns where the payload is
  // to be written. The folder itself may be a symbolic link (the person's own choice); entries
  // inside it never are followed. Throws std::system_error when the folder cannot be made.
  std::filesystem::path stage(const std::filesystem::path& downloadsFolder,
                              std::string_view suggestedName);
  // Moves the payload into the Downloads folder under the sanitised name, numbered " (2)",
  // " (3)"... when taken, and cleans up. A name the file system refuses gives way to "Download"
  // with the extension. Throws DownloadNotPlaced when no name works (the file is kept, and the
  // download leaves the registry), std::system_error when there is no payload to move.
  std::filesystem::path finish();
  // Removes the payload and the staging folder and leaves the registry. Safe to repeat.
  void discard();

  State state() const { return state_; }
  const std::string& id() const { return id_; }
  const std::optional<std::filesystem::path>& stagingFolder() const { return staging_; }

  // The last path component with every control or format character and every byte that is not
  // UTF-8 replaced by "_", no leading dots or spaces, a leading "-" replaced by "_", at most
  // `maxBytes` bytes cut on a character boundary with the extension kept; "Download" when
  // nothing is left. Every rule holds for the final name.
  static std::string sanitisedFileName(std::string_view suggested,
                                       std::size_t maxBytes = kMaxNameBytes);
  // Removes the staging folders in `downloadsFolder` that no live download claims: what a
  // killed app left. A folder holding a kept file and entries of other names stay.
  static void removeUnclaimedStagingFolders(const std::filesystem::path& downloadsFolder);
  static bool isStagingFolderName(std::string_view name);
  // "name (n).ext" within kMaxNameBytes; n = 1 gives the name itself.
  static std::string numberedFileName(const std::string& name, int number);

 private:
  void leaveRegistry();

  ActiveDownloads& registry_;
  MoveFunction move_;
  std::string id_;
  State state_ = State::registered;
  std::filesystem::path downloadsFolder_;
  std::optional<std::filesystem::path> staging_;
  std::string fileName_;
  // Held while the staging folder is this download's, so no sweep takes it.
  FolderClaim claim_;
  bool registered_ = true;
};

}  // namespace orlith
