// The zip reader the extraction reads through: entries in central-directory order, with their
// decoded names, kinds and modes, and the bytes of the current entry. A port, so the trust logic
// stays free of the archive library.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace orlith {

enum class ArchiveEntryKind { file, directory, symbolicLink, hardLink, special };

struct UpdateArchiveEntry {
  std::optional<std::string> name;  // nothing when the name is not valid UTF-8
  ArchiveEntryKind kind = ArchiveEntryKind::file;
  mode_t mode = 0;
  std::int64_t size = 0;
};

class UpdateArchiveCursor {
 public:
  virtual ~UpdateArchiveCursor() = default;
  // The next entry, nothing at the end. Throws on a read error.
  virtual std::optional<UpdateArchiveEntry> next() = 0;
  // Bytes of the current entry; 0 at its end. Throws on a read error.
  virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

class UpdateArchiveReader {
 public:
  virtual ~UpdateArchiveReader() = default;
  // Throws when the file cannot be opened or is not a zip archive.
  virtual std::unique_ptr<UpdateArchiveCursor> openZip(const std::filesystem::path& file) const = 0;
};

}  // namespace orlith
