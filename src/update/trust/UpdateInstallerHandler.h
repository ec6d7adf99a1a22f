// The service's side of the installer calls, and the dispatch that holds every call to the
// reply rules: one answer each, a thrown error answered with its text.
#pragma once

#include <functional>
#include <string>

#include "update/trust/UpdateInstallerProtocol.h"
#include "update/trust/UpdateReplyGuard.h"

namespace orlith {

class UpdateInstallerHandler {
 public:
  virtual ~UpdateInstallerHandler() = default;

  // A handler may answer later, from any thread, by keeping a copy of the guard.
  virtual void prepare(std::string package, std::string manifest,
                       UpdateReplyGuard<UpdatePrepareReply> reply) = 0;
  virtual void prepareCurrentApplication(UpdateReplyGuard<UpdatePrepareReply> reply) = 0;
  virtual void install(std::string token, UpdateReplyGuard<UpdateCompletionReply> reply) = 0;
  virtual void cancel(std::string token, UpdateReplyGuard<UpdateCompletionReply> reply) = 0;
};

// Hands the request to the handler; send receives the one reply, tagged with the request's id.
void dispatchInstallerRequest(UpdateInstallerHandler& handler, UpdateInstallerRequest request,
                              std::function<void(const UpdateInstallerReply&)> send);

}  // namespace orlith
