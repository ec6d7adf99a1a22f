// Folder trees listed and removed relative to open descriptors: a link inside the tree is removed,
// never followed, so nothing outside the tree can be reached through it.
#pragma once

#include <string>
#include <vector>

namespace orlith {

class DescriptorTree final {
 public:
  DescriptorTree() = delete;

  // Removes `name` in the open folder `folder` and everything below it. Absent is not an error.
  // Throws std::system_error.
  static void remove(int folder, const std::string& name);
  // Removes every entry of the open folder, leaving the folder itself. Throws std::system_error.
  static void removeContents(int folder);
  // The names in a folder in the order the file system gives them, "." and ".." left out. The
  // folder is opened afresh through its descriptor, so listing never moves the caller's own
  // position. Throws std::system_error.
  static std::vector<std::string> namesIn(int folder);
};

}  // namespace orlith
