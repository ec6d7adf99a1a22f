// Starts a sealed bundle's program as a detached process: the bundle checked, its program opened
// and hashed through one descriptor and exec'd by that descriptor, with an allow-listed
// environment, and the new process pinned by a pidfd before anything could reap it.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "update/trust/PinnedProcess.h"
#include "update/trust/UpdateTeam.h"

namespace orlith {

struct LaunchRequest {
  std::filesystem::path bundle;
  std::string identifier;  // the seal must name it
  std::vector<std::string> arguments;
  // A stream socket handed to the program as descriptor 3; -1 for none.
  int connection = -1;
  // The program counts as running only when it is still alive this long after exec.
  std::chrono::milliseconds settle{1000};
};

class AppLauncher {
 public:
  virtual ~AppLauncher() = default;

  // The running process, or nothing when it ended within the settle window (no running
  // application, no error). Throws UpdateFailure when the bundle fails its seal and
  // std::system_error when the program cannot be started.
  virtual std::optional<PinnedProcess> launch(const LaunchRequest& request,
                                              const UpdateTeam& team) = 0;
};

class SystemAppLauncher final : public AppLauncher {
 public:
  std::optional<PinnedProcess> launch(const LaunchRequest& request,
                                      const UpdateTeam& team) override;

  // Collects the process's exit status if it has ended, so a long-lived parent keeps no zombie.
  static void reapIfEnded(const PinnedProcess& process);
};

}  // namespace orlith
