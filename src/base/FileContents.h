// Reading a whole (small) file into memory, and replacing one atomically.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace orlith {

// The file's bytes. A failure to open or read throws std::system_error with the errno value;
// a file longer than maxSize throws it with EFBIG.
std::string readFileContents(const std::filesystem::path& file, std::size_t maxSize);

// Replaces `file` with `bytes`: written to a new, randomly named temporary file in the same
// folder (never one that exists, never through a link), synced, renamed over the file and the
// folder synced, so a reader sees the old file or the new one. A link at `file` itself is
// replaced, not followed. The folder must exist. On failure the old file stays as it was, the
// temporary file is gone and std::system_error is thrown.
void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes, mode_t mode);

// The start of the names of the temporary files writeFileAtomically makes for `file`, by which
// those an interrupted write left behind are known.
std::string temporaryFilePrefix(const std::filesystem::path& file);

}  // namespace orlith
