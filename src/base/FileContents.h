// Reading a whole (small) file into memory.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace orlith {

// The file's bytes. A failure to open or read throws std::system_error with the errno value;
// a file longer than maxSize throws it with EFBIG.
std::string readFileContents(const std::filesystem::path& file, std::size_t maxSize);

}  // namespace orlith
