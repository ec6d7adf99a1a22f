// What the window and the shell use of the app's update client. Until the update client is
// built, the process runs with NoUpdateClient, which checks nothing and installs nothing.
#pragma once

#include "update/client/UpdateIndicatorModel.h"

namespace orlith {

class UpdateClient {
 public:
  virtual ~UpdateClient() = default;

  // The first call starts the periodic checks; every later call does nothing.
  virtual void start() = 0;
  // Shows the update panel and checks unless an update is ready or being installed.
  virtual void checkForUpdates() = 0;
  // Set before launching finishes when the app does not run from an Applications folder.
  virtual bool initialDecisionPending() const = 0;
  virtual void setInitialDecisionPending(bool pending) = 0;
  // Clears the pending decision: install queues the first installation, otherwise a check runs
  // once the client has started.
  virtual void completeInitialDecision(bool install) = 0;
  // Whether the running bundle carries the installer service.
  virtual bool isInstallerBundled() const = 0;
  // What each window's update indicator follows; nothing when the process has no update client.
  virtual UpdateIndicatorModel* indicatorModel() = 0;
};

class NoUpdateClient final : public UpdateClient {
 public:
  explicit NoUpdateClient(bool installerBundled = false) : installerBundled_(installerBundled) {}

  void start() override { started_ = true; }
  void checkForUpdates() override {}
  bool initialDecisionPending() const override { return initialDecisionPending_; }
  void setInitialDecisionPending(bool pending) override { initialDecisionPending_ = pending; }
  void completeInitialDecision(bool) override { initialDecisionPending_ = false; }
  bool isInstallerBundled() const override { return installerBundled_; }
  UpdateIndicatorModel* indicatorModel() override { return nullptr; }

  bool isStarted() const { return started_; }

 private:
  bool installerBundled_;
  bool started_ = false;
  bool initialDecisionPending_ = false;
};

}  // namespace orlith
