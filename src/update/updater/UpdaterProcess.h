// The updater's process: one run over its arguments, the failure line on standard error, and
// always the exit status 0.
#pragma once

#include "update/trust/UpdateLocations.h"
#include "update/updater/Updater.h"

namespace orlith {

class UpdaterProcess final {
 public:
  UpdaterProcess() = delete;

  static int run(int argc, char** argv, const UpdateLocations& locations,
                 const UpdaterTimings& timings = {});
  // "Orlith installation did not complete: " + text + "\n"
  static std::string failureLine(std::string_view text);
};

}  // namespace orlith
