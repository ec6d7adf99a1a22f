// The app's update port over the update coordinator, which is made on first use and lives until
// the process ends.
#pragma once

#include <functional>
#include <memory>

#include "app/UpdateClient.h"
#include "update/client/UpdateCoordinator.h"

namespace orlith {

class CoordinatorUpdateClient final : public UpdateClient {
 public:
  using Factory = std::function<std::shared_ptr<UpdateCoordinator>()>;

  CoordinatorUpdateClient(Factory factory, bool installerBundled);
  // Leaves the coordinator alive: its installer connection must close only with the process,
  // or the service would withdraw an update committed on the way out.
  ~CoordinatorUpdateClient() override = default;

  void start() override { coordinator().start(); }
  void checkForUpdates() override { coordinator().checkForUpdates(); }
  bool initialDecisionPending() const override;
  void setInitialDecisionPending(bool pending) override {
    coordinator().setInitialDecisionPending(pending);
  }
  void completeInitialDecision(bool install) override {
    coordinator().completeInitialDecision(install);
  }
  bool isInstallerBundled() const override { return installerBundled_; }

  UpdateCoordinator& coordinator();

 private:
  Factory factory_;
  bool installerBundled_;
  std::shared_ptr<UpdateCoordinator> coordinator_;
};

}  // namespace orlith
