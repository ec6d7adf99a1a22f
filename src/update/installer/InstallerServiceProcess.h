// The installer service's process: its one connection on descriptor 3, the caller's
// authentication, the read loop that hands calls to the service, and the end of the process
// once the connection has closed and nothing is left to finish.
#pragma once

#include "update/installer/InstallerService.h"
#include "update/trust/UpdateLocations.h"

namespace orlith {

class InstallerServiceProcess final {
 public:
  InstallerServiceProcess() = delete;

  static constexpr int kConnectionDescriptor = 3;

  // The exit status: 0 after a served connection, 1 when there was none to serve.
  static int run(const UpdateLocations& locations, const InstallerServiceTimings& timings = {});
};

}  // namespace orlith
