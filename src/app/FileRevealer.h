// The port through which the app shows an item selected in the user's file manager.
#pragma once

#include <filesystem>

namespace orlith {

class FileRevealer {
 public:
  virtual ~FileRevealer() = default;
  // Asks the file manager to show `item` selected; returns at once, the outcome is not awaited.
  virtual void reveal(const std::filesystem::path& item) = 0;
};

}  // namespace orlith
