// Runs the local stand-in service as a child process on a free port for one test. It ends when
// the thread that started it does (its parent-death signal follows that thread), so a test
// starts it from its main thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace orlith::testing {

class StandinProcess {
 public:
  // Starts `program` with the build's development certificate; waits up to `timeout` for it to
  // listen and throws when it does not, with the stand-in's reason (a taken port names it and
  // the process holding it).
  explicit StandinProcess(const std::string& program, const std::string& devMaterialDir,
                          std::chrono::milliseconds timeout = std::chrono::seconds(15),
                          std::vector<std::string> extraArguments = {});
  ~StandinProcess();
  StandinProcess(const StandinProcess&) = delete;
  StandinProcess& operator=(const StandinProcess&) = delete;

  int port() const { return port_; }
  // "https://127.0.0.1:<port>"
  std::string origin() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace orlith::testing
