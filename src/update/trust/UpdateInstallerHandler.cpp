// Dispatch of installer calls under the reply rules.
#include "update/trust/UpdateInstallerHandler.h"

#include <memory>

namespace orlith {
namespace {

template <typename Reply, typename Call>
void dispatchWith(std::uint64_t id, std::function<void(const UpdateInstallerReply&)> send,
                  Call call) {
  auto slot =
      std::make_shared<UpdateReplySlot<Reply>>([id, send = std::move(send)](const Reply& reply) {
        send({id, reply});
      });
  // The slot outlives the call, so a thrown error is answered with its own text before the
  // unanswered fallback could be.
  try {
    call(UpdateReplyGuard<Reply>(slot));
  } catch (...) {
    slot->answer(Reply::failure(std::current_exception()));
  }
}

}  // namespace

void dispatchInstallerRequest(UpdateInstallerHandler& handler, UpdateInstallerRequest request,
                              std::function<void(const UpdateInstallerReply&)> send) {
  switch (request.method) {
    case UpdateInstallerMethod::prepare:
      dispatchWith<UpdatePrepareReply>(request.id, std::move(send), [&](auto reply) {
        handler.prepare(std::move(request.package), std::move(request.manifest), std::move(reply));
      });
      break;
    case UpdateInstallerMethod::prepareCurrentApplication:
      dispatchWith<UpdatePrepareReply>(request.id, std::move(send), [&](auto reply) {
        handler.prepareCurrentApplication(std::move(reply));
      });
      break;
    case UpdateInstallerMethod::install:
      dispatchWith<UpdateCompletionReply>(request.id, std::move(send), [&](auto reply) {
        handler.install(request.token.value_or(""), std::move(reply));
      });
      break;
    case UpdateInstallerMethod::cancel:
      dispatchWith<UpdateCompletionReply>(request.id, std::move(send), [&](auto reply) {
        handler.cancel(request.token.value_or(""), std::move(reply));
      });
      break;
  }
}

}  // namespace orlith
