// The listening socket that the test peer program connects to, and the start of a peer from a
// bundle: a started peer has connected, so it runs the sealed program and no longer the test's.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "update/trust/UniqueFd.h"

namespace orlith::test {

class PeerListener {
 public:
  explicit PeerListener(std::filesystem::path path) : path_(std::move(path)) {
    socket_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path_.c_str());
    if (!socket_ ||
        ::bind(socket_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket_.get(), 16) != 0) {
      throw std::runtime_error("the test listener could not be set up");
    }
  }
  ~PeerListener() {
    while (!children_.empty()) {
      stop(children_.back());
    }
  }

  const std::filesystem::path& path() const { return path_; }

  // Starts the bundle's program as our child; -1 when it did not connect.
  pid_t start(const std::filesystem::path& bundle) {
    const std::string program = (bundle / "Contents/MacOS/Orlith").string();
    const pid_t child = ::fork();
    if (child == 0) {
      ::execl(program.c_str(), program.c_str(), path_.c_str(), nullptr);
      ::_exit(127);
    }
    children_.push_back(child);
    pollfd entry{socket_.get(), POLLIN, 0};
    if (::poll(&entry, 1, 10'000) != 1) {
      return -1;
    }
    connections_.emplace_back(::accept4(socket_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    return child;
  }

  // Kills a child of the test and reaps it; a child started here only once.
  void stop(pid_t child) {
    const auto found = std::find(children_.begin(), children_.end(), child);
    if (found != children_.end()) {
      children_.erase(found);
    }
    if (child > 0 && ::kill(child, SIGKILL) == 0) {
      ::waitpid(child, nullptr, 0);
    }
  }

 private:
  std::filesystem::path path_;
  UniqueFd socket_;
  std::vector<pid_t> children_;
  std::vector<UniqueFd> connections_;
};

}  // namespace orlith::test
