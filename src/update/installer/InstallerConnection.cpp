// The connection's read loop and its bound on prepare bodies.
#include "update/installer/InstallerConnection.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

namespace orlith {
namespace {

// The prepare whose body the service holds, until its reply is written.
class PrepareInFlight {
 public:
  void begin(std::uint64_t id) {
    const std::lock_guard lock(mutex_);
    id_ = id;
  }
  void answered(std::uint64_t id) {
    {
      const std::lock_guard lock(mutex_);
      if (id_ != id) {
        return;
      }
      id_.reset();
    }
    changed_.notify_all();
  }
  // Waits for the service's own work, which its tools' time-outs bound; not for the peer.
  void waitUntilAnswered() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !id_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<std::uint64_t> id_;
};

}  // namespace

void InstallerConnection::serve(UpdateFrameStream& stream, UpdateInstallerHandler& handler) {
  // Shared with the replies, which may be written from the handler's threads after we return.
  const auto inFlight = std::make_shared<PrepareInFlight>();
  const auto send = [&stream, inFlight](const UpdateInstallerReply& reply) {
    try {
      stream.writeReply(reply);
    } catch (const std::exception&) {
      // The app is gone; its end of the stream tells the read loop.
    }
    inFlight->answered(reply.id);
  };
  for (;;) {
    std::optional<std::variant<UpdateInstallerRequest, UpdateOversizedRequest>> next;
    try {
      next = stream.readRequest([&] { inFlight->waitUntilAnswered(); });
    } catch (const std::exception&) {
      // A malformed frame: the stream cannot be trusted any further.
      return;
    }
    if (!next) {
      return;
    }
    if (auto* oversized = std::get_if<UpdateOversizedRequest>(&*next)) {
      send({oversized->request.id, UpdatePrepareReply{std::nullopt, oversized->message, false}});
      return;
    }
    auto& request = std::get<UpdateInstallerRequest>(*next);
    if (request.method == UpdateInstallerMethod::prepare) {
      inFlight->begin(request.id);
    }
    dispatchInstallerRequest(handler, std::move(request), send);
  }
}

}  // namespace orlith
