// The port in front of the installer channel: one connection to the service, made on the first
// call. Its calls block; the client runs them on workers.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "update/trust/UpdateInstallerChannel.h"
#include "update/trust/UpdateInstallerProtocol.h"

namespace orlith {

class UpdateInstallerConnection {
 public:
  using Timeout = std::chrono::milliseconds;
  using CallEnd = UpdateInstallerChannel::CallEnd;

  virtual ~UpdateInstallerConnection() = default;
  // Each call says through `end` whether the service answered; an unanswered one replies
  // `unanswered()`.
  virtual UpdatePrepareReply prepare(std::string package, std::string manifest, Timeout timeout,
                                     CallEnd& end) = 0;
  virtual UpdatePrepareReply prepareCurrentApplication(Timeout timeout, CallEnd& end) = 0;
  virtual UpdateCompletionReply install(std::string token, Timeout timeout, CallEnd& end) = 0;
  virtual UpdateCompletionReply cancel(std::string token, Timeout timeout, CallEnd& end) = 0;
  // True once the stream has ended: only the service holds its other end.
  virtual bool isClosed() const = 0;
  // Collects the ended service's exit status.
  virtual void reapIfEnded() = 0;
};

class UpdateInstallerConnector {
 public:
  virtual ~UpdateInstallerConnector() = default;
  // Starts the service. Blocks; throws when the platform refuses (a bad seal, no program).
  virtual std::shared_ptr<UpdateInstallerConnection> spawn() = 0;
};

}  // namespace orlith
