// Whole bundle trees copied and removed by descriptor: a copy goes through the tree writer (no
// link, owner, setuid or setgid carried over), and a removal never follows a link out of the tree.
#pragma once

#include <string>

namespace orlith {

class UpdateTreeFiles final {
 public:
  UpdateTreeFiles() = delete;

  // Copies the folder name in sourceFolder to the same or another name in targetFolder, which
  // must not exist yet. A link or special file in the tree throws std::system_error (ELOOP or
  // EPERM); so does any file error.
  static void copy(int sourceFolder, const std::string& sourceName, int targetFolder,
                   const std::string& targetName);
  static void copy(const std::string& sourcePath, const std::string& targetPath);
  // The entries of one open folder into another, existing one.
  static void copyContents(int sourceFolder, int targetFolder);

  // Removes name in folder and everything below it; a link is removed, never followed. Absent is
  // not an error. Throws std::system_error.
  static void remove(int folder, const std::string& name);
  // The same for a path; its parent folder is opened without following a final link.
  static void remove(const std::string& path);
};

}  // namespace orlith
