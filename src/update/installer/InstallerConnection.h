// The service's read loop over its one connection: each call read is handed to the handler, and
// its reply written back. A prepare's bodies (up to 250 MB) are read only once the previous
// prepare has been answered, so the service never holds more than one unhandled package.
#pragma once

#include "update/trust/UpdateFrameStream.h"
#include "update/trust/UpdateInstallerHandler.h"

namespace orlith {

class InstallerConnection final {
 public:
  InstallerConnection() = delete;

  // Returns at the end of the stream, at a malformed frame, or after refusing an oversized
  // prepare (the stream cannot be resynchronised past its bodies).
  static void serve(UpdateFrameStream& stream, UpdateInstallerHandler& handler);
};

}  // namespace orlith
