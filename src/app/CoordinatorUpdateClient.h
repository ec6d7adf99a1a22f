// The app's update port over the update coordinator, which is made on first use and lives until
// the process ends.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/UpdateClient.h"
#include "update/client/UpdateCoordinator.h"

namespace orlith {

class CoordinatorUpdateClient final : public UpdateClient, private UpdateIndicatorModel {
 public:
  using Factory = std::function<std::shared_ptr<UpdateCoordinator>()>;

  // `appVersion` is the running copy's, shown by the panel when a snapshot has none.
  CoordinatorUpdateClient(Factory factory, bool installerBundled, std::string appVersion = "1.0");
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
  UpdateIndicatorModel* indicatorModel() override { return this; }

  UpdateCoordinator& coordinator();

 private:
  const UpdateSnapshot& snapshot() override { return coordinator().snapshot(); }
  ChangeSignal& changed() override { return coordinator().changed(); }
  void performPrimaryAction() override { coordinator().performPrimaryAction(); }
  std::string appVersion() const override { return appVersion_; }

  Factory factory_;
  bool installerBundled_;
  std::string appVersion_;
  std::shared_ptr<UpdateCoordinator> coordinator_;
};

}  // namespace orlith
