// Writes a tree of folders and files below an open folder, by descriptor: folders 0755, files
// 0755 or 0644 by the owner-execute bit, nothing created over an existing file, no link followed,
// no owner, setuid or setgid ever restored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "update/trust/UniqueFd.h"

namespace orlith {

enum class TreeFileMode { regular, executable };

class UpdateTreeWriter {
 public:
  // Reads up to size bytes into buffer; 0 at the end.
  using Source = std::function<std::size_t(char* buffer, std::size_t size)>;

  // root is a folder descriptor the writer borrows.
  explicit UpdateTreeWriter(int root) : root_(root) {}

  // Every component a plain name (no "", ".", "..", "/"). An existing folder is reused; anything
  // else in the way throws std::system_error.
  void makeDirectory(const std::vector<std::string>& components);
  // Creates the file exclusively and fills it from source; returns the bytes written. The
  // writer stops with EFBIG once more than limit bytes came.
  std::uint64_t writeFile(const std::vector<std::string>& components, TreeFileMode mode,
                          const Source& source, std::uint64_t limit);

 private:
  UniqueFd openParent(const std::vector<std::string>& components);
  int root_;
};

}  // namespace orlith
