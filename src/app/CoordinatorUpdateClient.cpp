// The update port over the coordinator.
#include "app/CoordinatorUpdateClient.h"

#include <vector>

namespace orlith {
namespace {

// Keeps each coordinator until the process ends, never destroyed: reachable, so not a leak, and
// nothing at exit tears down its installer connection.
void keepUntilExit(std::shared_ptr<UpdateCoordinator> coordinator) {
  static auto* kept = new std::vector<std::shared_ptr<UpdateCoordinator>>();
  kept->push_back(std::move(coordinator));
}

}  // namespace

CoordinatorUpdateClient::CoordinatorUpdateClient(Factory factory, bool installerBundled,
                                                 std::string appVersion)
    : factory_(std::move(factory)),
      installerBundled_(installerBundled),
      appVersion_(std::move(appVersion)) {}

UpdateCoordinator& CoordinatorUpdateClient::coordinator() {
  if (!coordinator_) {
    coordinator_ = factory_();
    keepUntilExit(coordinator_);
  }
  return *coordinator_;
}

bool CoordinatorUpdateClient::initialDecisionPending() const {
  return coordinator_ && coordinator_->initialDecisionPending();
}

}  // namespace orlith
