// Our framing over a stream socket: a little-endian u32 header length (1 to 65,536), the JSON
// header, then the raw bodies the header announces. Writers take turns; reads come from one
// reader thread.
#pragma once

#include <sys/types.h>
#include <chrono>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

#include "update/trust/UniqueFd.h"
#include "update/trust/UpdateInstallerProtocol.h"

namespace orlith {

// A frame that could not be written before its deadline. Part of it may have gone out, so the
// stream can carry nothing more.
class UpdateSendTimeout : public std::runtime_error {
 public:
  UpdateSendTimeout() : std::runtime_error("The installer frame could not be sent in time.") {}
};

// A prepare whose bodies are over their caps. The service answers the text, then closes: the
// stream cannot be resynchronised, and nothing of the bodies was read or allocated.
struct UpdateOversizedRequest {
  UpdateInstallerRequest request;
  std::string message;
};

class UpdateFrameStream {
 public:
  explicit UpdateFrameStream(UniqueFd socket) : socket_(std::move(socket)) {}

  int descriptor() const { return socket_.get(); }

  // From now on every byte read must come with the kernel's credentials of this process:
  // anything another process wrote into the stream (one that kept the other end of the socket
  // pair, say) ends it with UpdateProtocolError. Throws std::system_error when the socket cannot
  // pass credentials.
  void requireSender(pid_t pid);
  // Asks the kernel to attach senders' credentials; done first, before the peer is trusted.
  static void passCredentials(int socket);

  // One whole frame per call, never interleaved with another writer's. Throws
  // std::system_error (EPIPE once the peer is gone; never SIGPIPE).
  using Deadline = std::optional<std::chrono::steady_clock::time_point>;

  // With a deadline, a peer that stops reading ends the write with UpdateSendTimeout.
  void writeFrame(std::string_view header, std::initializer_list<std::string_view> bodies = {},
                  Deadline deadline = std::nullopt);
  void writeRequest(const UpdateInstallerRequest& request, Deadline deadline = std::nullopt);
  void writeReply(const UpdateInstallerReply& reply);

  // Nothing at a clean end of the stream between frames. Throws UpdateProtocolError for a bad
  // length, a malformed header or an end inside a frame, std::system_error for a read error.
  std::optional<std::string> readHeader();
  // beforeBodies runs once a prepare's header is read and before its bodies are, so a reader
  // can hold off a second body until the first has been handled.
  std::optional<std::variant<UpdateInstallerRequest, UpdateOversizedRequest>> readRequest(
      const std::function<void()>& beforeBodies = {});
  std::optional<UpdateInstallerReply> readReply();

 private:
  bool readExactly(char* data, std::size_t size, bool endAllowed);
  // recv(), checked against the required sender; 0 at the end of the stream.
  std::size_t receive(char* data, std::size_t size);
  std::string readBody(std::uint64_t size);

  UniqueFd socket_;
  std::mutex writeMutex_;
  std::optional<pid_t> sender_;
};

}  // namespace orlith
