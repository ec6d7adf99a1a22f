// The installer connection's frames as the service reads them: the bytes go through a real socket
// pair into the frame reader, and a reply header into the app's decoder.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>
#include <variant>

#include "update/trust/UpdateFrameStream.h"
#include "update/trust/UpdateInstallerProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    orlith::UpdateInstallerProtocol::decodeReplyHeader(bytes);
  } catch (const std::exception&) {
  }
  // The socket's buffer holds what the fuzzer sends (its inputs stay small), so one write and a
  // shut-down give the reader the whole stream.
  int pair[2];
  if (size > 64 * 1024 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
    return 0;
  }
  orlith::UniqueFd writer(pair[0]);
  orlith::UpdateFrameStream reader{orlith::UniqueFd(pair[1])};
  if (size > 0 && ::write(writer.get(), data, size) != static_cast<ssize_t>(size)) {
    return 0;
  }
  ::shutdown(writer.get(), SHUT_WR);
  try {
    for (int frames = 0; frames < 16; ++frames) {
      const auto request = reader.readRequest();
      if (!request) {
        break;
      }
      if (const auto* read = std::get_if<orlith::UpdateInstallerRequest>(&*request)) {
        orlith::UpdateInstallerProtocol::encodeRequestHeader(*read);
      }
    }
  } catch (const std::exception&) {
    // A malformed stream closes the connection.
  }
  return 0;
}
