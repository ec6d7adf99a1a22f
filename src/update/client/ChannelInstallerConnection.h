// The installer connection over the real channel: the service spawned from the app's bundle.
#pragma once

#include <filesystem>
#include <memory>

#include "update/client/UpdateInstallerConnection.h"
#include "update/trust/UpdateInstallerChannel.h"
#include "update/trust/UpdateTeam.h"

namespace orlith {

class ChannelInstallerConnection final : public UpdateInstallerConnection {
 public:
  explicit ChannelInstallerConnection(std::unique_ptr<UpdateInstallerChannel> channel)
      : channel_(std::move(channel)) {}

  UpdatePrepareReply prepare(std::string package, std::string manifest, Timeout timeout,
                             CallEnd& end) override {
    return channel_->prepare(std::move(package), std::move(manifest), timeout, &end);
  }
  UpdatePrepareReply prepareCurrentApplication(Timeout timeout, CallEnd& end) override {
    return channel_->prepareCurrentApplication(timeout, &end);
  }
  UpdateCompletionReply install(std::string token, Timeout timeout, CallEnd& end) override {
    return channel_->install(std::move(token), timeout, &end);
  }
  UpdateCompletionReply cancel(std::string token, Timeout timeout, CallEnd& end) override {
    return channel_->cancel(std::move(token), timeout, &end);
  }
  bool isClosed() const override { return channel_->isClosed(); }
  void reapIfEnded() override { channel_->reapServiceIfEnded(); }

 private:
  std::unique_ptr<UpdateInstallerChannel> channel_;
};

class ChannelInstallerConnector final : public UpdateInstallerConnector {
 public:
  ChannelInstallerConnector(std::filesystem::path serviceBundle, UpdateTeam team)
      : serviceBundle_(std::move(serviceBundle)), team_(std::move(team)) {}

  std::shared_ptr<UpdateInstallerConnection> spawn() override {
    SystemAppLauncher launcher;
    return std::make_shared<ChannelInstallerConnection>(
        UpdateInstallerChannel::spawn(serviceBundle_, team_, launcher));
  }

 private:
  std::filesystem::path serviceBundle_;
  UpdateTeam team_;
};

}  // namespace orlith
