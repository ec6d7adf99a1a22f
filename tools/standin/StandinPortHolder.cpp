// Finds a listening socket's inode in /proc/net/tcp{,6}, then the process holding it by its
// descriptors under /proc.
#include "StandinPortHolder.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace orlith::standin {
namespace {

constexpr const char* kListenState = "0A";

std::optional<std::string> listeningInode(int port) {
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // the heading
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
      if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> inode))
        continue;
      const auto colon = local.rfind(':');
      if (state == kListenState && colon != std::string::npos &&
          std::stoi(local.substr(colon + 1), nullptr, 16) == port)
        return inode;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> portHolder(int port) {
  const auto inode = listeningInode(port);
  if (!inode)
    return std::nullopt;
  const std::string socket = "socket:[" + *inode + "]";
  std::error_code error;
  for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
    const std::string pid = process.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos)
      continue;
    // Another user's descriptors cannot be read, and a process may end while it is looked at.
    try {
      std::error_code unreadable;
      for (const auto& fd :
           std::filesystem::directory_iterator(process.path() / "fd", unreadable)) {
        std::error_code gone;
        if (std::filesystem::read_symlink(fd.path(), gone) == socket) {
          std::ifstream comm(process.path() / "comm");
          std::string name;
          std::getline(comm, name);
          return "process " + pid + " (" + name + ")";
        }
      }
    } catch (const std::exception&) {
      // A stream reports a vanished process by throwing from inside its buffer.
    }
  }
  return "a process of another user";
}

}  // namespace orlith::standin
