// Reads zip packages through libarchive's seekable zip reader, which lists the central
// directory; no other format is accepted, so a tar named ".zip" does not open.
#pragma once

#include "update/trust/UpdateArchiveReader.h"

namespace orlith {

class LibarchiveZipReader final : public UpdateArchiveReader {
 public:
  std::unique_ptr<UpdateArchiveCursor> openZip(const std::filesystem::path& file) const override;
};

}  // namespace orlith
