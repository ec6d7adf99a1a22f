// Folder trees removed relative to open descriptors: a link inside the tree is removed, never
// followed, so nothing outside the tree can be reached through it.
#pragma once

#include <string>

namespace orlith {

class DescriptorTree final {
 public:
  DescriptorTree() = delete;

  // Removes `name` in the open folder `folder` and everything below it. Absent is not an error.
  // Throws std::system_error.
  static void remove(int folder, const std::string& name);
  // Removes every entry of the open folder, leaving the folder itself. Throws std::system_error.
  static void removeContents(int folder);
};

}  // namespace orlith
