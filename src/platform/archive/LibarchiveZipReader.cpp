// The libarchive adapter: translates entries, decides nothing.
#include "platform/archive/LibarchiveZipReader.h"

#include <archive.h>
#include <archive_entry.h>

#include <stdexcept>

namespace orlith {
namespace {

struct ArchiveFree {
  void operator()(archive* reader) const { archive_read_free(reader); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;

[[noreturn]] void fail(archive* reader) {
  const char* text = archive_error_string(reader);
  throw std::runtime_error(text != nullptr ? text : "the zip archive cannot be read");
}

ArchiveEntryKind kindOf(archive_entry* entry) {
  if (archive_entry_hardlink(entry) != nullptr) {
    return ArchiveEntryKind::hardLink;
  }
  switch (archive_entry_filetype(entry)) {
    case AE_IFREG:
      return ArchiveEntryKind::file;
    case AE_IFDIR:
      return ArchiveEntryKind::directory;
    case AE_IFLNK:
      return ArchiveEntryKind::symbolicLink;
    default:
      return ArchiveEntryKind::special;
  }
}

class Cursor final : public UpdateArchiveCursor {
 public:
  explicit Cursor(ArchivePtr reader) : reader_(std::move(reader)) {}

  std::optional<UpdateArchiveEntry> next() override {
    archive_entry* entry = nullptr;
    const int status = archive_read_next_header(reader_.get(), &entry);
    if (status == ARCHIVE_EOF) {
      return std::nullopt;
    }
    // A warning (a name that does not convert) still gives a whole entry; its name is judged
    // by the checks, not here.
    if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
      fail(reader_.get());
    }
    UpdateArchiveEntry out;
    if (const char* name = archive_entry_pathname_utf8(entry)) {
      out.name = name;
    }
    out.kind = kindOf(entry);
    out.mode = archive_entry_perm(entry);
    out.size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
    return out;
  }

  std::size_t read(char* buffer, std::size_t size) override {
    const la_ssize_t got = archive_read_data(reader_.get(), buffer, size);
    if (got < 0) {
      fail(reader_.get());
    }
    return static_cast<std::size_t>(got);
  }

 private:
  ArchivePtr reader_;
};

}  // namespace

std::unique_ptr<UpdateArchiveCursor> LibarchiveZipReader::openZip(
    const std::filesystem::path& file) const {
  ArchivePtr reader(archive_read_new());
  if (!reader) {
    throw std::runtime_error("libarchive could not start");
  }
  if (archive_read_support_format_zip_seekable(reader.get()) != ARCHIVE_OK ||
      archive_read_open_filename(reader.get(), file.c_str(), 64 * 1024) != ARCHIVE_OK) {
    fail(reader.get());
  }
  return std::make_unique<Cursor>(std::move(reader));
}

}  // namespace orlith
