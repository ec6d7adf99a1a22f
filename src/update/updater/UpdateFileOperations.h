// The file operations of the swap that decide whether it survives a power loss: syncing the
// staged copy, renaming within the Applications folder and syncing that folder. A port, so tests
// can see their order.
#pragma once

#include <string>

namespace orlith {

class UpdateFileOperations {
 public:
  virtual ~UpdateFileOperations() = default;

  // Every file and folder below the folder, and the folder itself, on disk. Throws
  // std::system_error.
  virtual void syncTree(int folder) = 0;
  // The folder's own entries (names made, renamed or removed in it) on disk. Throws
  // std::system_error.
  virtual void syncFolder(int folder) = 0;
  // renameat2 within one folder; false when it failed.
  virtual bool renameWithin(int folder, const std::string& from, const std::string& to,
                            unsigned flags) = 0;
};

class SystemUpdateFileOperations final : public UpdateFileOperations {
 public:
  void syncTree(int folder) override;
  void syncFolder(int folder) override;
  bool renameWithin(int folder, const std::string& from, const std::string& to,
                    unsigned flags) override;
};

}  // namespace orlith
