// Who listens on a local TCP port, for a stand-in that cannot take its port.
#pragma once

#include <optional>
#include <string>

namespace orlith::standin {

// "process 1234 (name)" for the process listening on `port`, "a process of another user" when
// the listener is there but its process cannot be seen; nothing when no one listens there.
std::optional<std::string> portHolder(int port);

}  // namespace orlith::standin
