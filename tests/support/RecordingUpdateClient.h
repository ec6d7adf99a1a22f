// An update client for tests: it counts what reaches the update port and keeps the decisions.
#pragma once

#include <vector>

#include "app/UpdateClient.h"

namespace orlith::testing {

// Counts what reaches the update port.
class RecordingUpdateClient final : public UpdateClient {
 public:
  void start() override { ++starts; }
  void checkForUpdates() override { ++checks; }
  bool initialDecisionPending() const override { return pending; }
  void setInitialDecisionPending(bool value) override { pending = value; }
  void completeInitialDecision(bool install) override {
    pending = false;
    decisions.push_back(install);
  }
  bool isInstallerBundled() const override { return installerBundled; }
  UpdateIndicatorModel* indicatorModel() override { return nullptr; }

  int starts = 0;
  int checks = 0;
  bool pending = false;
  bool installerBundled = true;
  std::vector<bool> decisions;
};

}  // namespace orlith::testing
