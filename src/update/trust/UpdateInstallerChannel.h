// The app's end of the installer connection: starts the service from the app's own bundle over
// a socket pair and makes blocking calls matched to their replies by id. Each call waits at most
// its time-out; a call that the service never answers, or that the connection's end leaves
// open, returns the unanswered reply once.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "update/trust/AppLauncher.h"
#include "update/trust/UpdateFrameStream.h"
#include "update/trust/UpdateInstallerProtocol.h"

namespace orlith {

class UpdateInstallerChannel {
 public:
  using Timeout = std::chrono::milliseconds;

  // How a call ended: with the service's reply, with none (its time-out, or the connection's
  // end), or with a send the service did not take in time, which also ends the connection.
  enum class CallEnd { answered, unanswered, sendTimedOut };

  // Over a connected stream socket; the reader thread starts at once.
  explicit UpdateInstallerChannel(UniqueFd socket);
  UpdateInstallerChannel(const UpdateInstallerChannel&) = delete;
  UpdateInstallerChannel& operator=(const UpdateInstallerChannel&) = delete;
  // Closing our end is what tells the service that the app is gone.
  ~UpdateInstallerChannel();

  // Starts the service bundle with its end as descriptor 3. Throws UpdateFailure when the bundle
  // fails its seal, std::system_error when it cannot be started or has ended at once.
  static std::unique_ptr<UpdateInstallerChannel> spawn(const std::filesystem::path& serviceBundle,
                                                       const UpdateTeam& team,
                                                       AppLauncher& launcher);
  // <app>/Contents/XPCServices/OrlithUpdateInstaller.xpc
  static std::filesystem::path serviceBundleOf(const std::filesystem::path& application);

  // Each call, its send included, takes at most its time-out from its start.
  UpdatePrepareReply prepare(std::string package, std::string manifest, Timeout timeout,
                             CallEnd* end = nullptr);
  UpdatePrepareReply prepareCurrentApplication(Timeout timeout, CallEnd* end = nullptr);
  UpdateCompletionReply install(std::string token, Timeout timeout, CallEnd* end = nullptr);
  UpdateCompletionReply cancel(std::string token, Timeout timeout, CallEnd* end = nullptr);

  // Ends the connection now, without waiting for the reader: the service sees the app gone, and
  // every call goes unanswered from then on.
  void close();

  std::optional<pid_t> servicePid() const;
  bool isClosed() const;
  // Collects the spawned service's exit status once it has ended, so no zombie stays.
  void reapServiceIfEnded() const;

 private:
  std::optional<UpdateInstallerReply> call(UpdateInstallerRequest request, Timeout timeout,
                                           CallEnd* end);
  // Install and cancel differ only in their method.
  UpdateCompletionReply callWithToken(UpdateInstallerMethod method, std::string token,
                                      Timeout timeout, CallEnd* end);
  void readReplies();

  UpdateFrameStream stream_;
  std::optional<PinnedProcess> service_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t nextId_ = 1;
  std::map<std::uint64_t, std::optional<UpdateInstallerReply>> pending_;
  bool closed_ = false;
  std::thread reader_;
};

}  // namespace orlith
