// Spawns the stand-in and reads its first line, "listening on <port>" or why not, with a
// deadline. The stand-in is told this process is its parent, and ends with it.
#include "support/StandinProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "support/TestTimeBudget.h"

extern char** environ;

namespace orlith::testing {

namespace {

std::string readLine(int fd, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + boundedByTestTime(timeout);
  std::string line;
  while (true) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      throw std::runtime_error("the stand-in did not start in time");
    pollfd descriptor{fd, POLLIN, 0};
    int ready = ::poll(&descriptor, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0)
      continue;
    char c = 0;
    ssize_t got = ::read(fd, &c, 1);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      throw std::runtime_error("the stand-in exited before listening");
    if (c == '\n')
      return line;
    line.push_back(c);
  }
}

}  // namespace

StandinProcess::StandinProcess(const std::string& program, const std::string& devMaterialDir,
                               std::chrono::milliseconds timeout,
                               std::vector<std::string> extraArguments) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  std::string certificate = devMaterialDir + "/server.pem";
  std::string key = devMaterialDir + "/server.key";
  std::string parent = std::to_string(::getpid());
  std::vector<char*> argv = {const_cast<char*>(program.c_str()),
                             const_cast<char*>("--cert"),
                             certificate.data(),
                             const_cast<char*>("--key"),
                             key.data(),
                             const_cast<char*>("--parent"),
                             parent.data(),
                             const_cast<char*>("--port"),
                             const_cast<char*>("0")};
  for (std::string& argument : extraArguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  int result = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (result != 0) {
    ::close(pipeFds[0]);
    throw std::runtime_error("cannot start " + program);
  }
  try {
    std::string line = readLine(pipeFds[0], timeout);
    const std::string prefix = "listening on ";
    // Otherwise the line says why it is not listening, a taken port with who holds it.
    if (line.rfind(prefix, 0) != 0)
      throw std::runtime_error(line);
    port_ = std::stoi(line.substr(prefix.size()));
  } catch (...) {
    ::close(pipeFds[0]);
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    throw;
  }
  ::close(pipeFds[0]);
}

StandinProcess::~StandinProcess() {
  if (pid_ <= 0)
    return;
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
}

std::string StandinProcess::origin() const {
  return "https://127.0.0.1:" + std::to_string(port_);
}

}  // namespace orlith::testing
