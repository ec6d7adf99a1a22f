// The installer connection's client end.
#include "update/trust/UpdateInstallerChannel.h"

#include <sys/socket.h>

#include <system_error>

#include "update/trust/UpdateWire.h"

namespace orlith {

UpdateInstallerChannel::UpdateInstallerChannel(UniqueFd socket)
    : stream_(std::move(socket)), reader_([this] { readReplies(); }) {}

UpdateInstallerChannel::~UpdateInstallerChannel() {
  close();
  reader_.join();
}

void UpdateInstallerChannel::close() {
  ::shutdown(stream_.descriptor(), SHUT_RDWR);
  const std::lock_guard lock(mutex_);
  closed_ = true;
  changed_.notify_all();
}

std::filesystem::path UpdateInstallerChannel::serviceBundleOf(
    const std::filesystem::path& application) {
  return application / "Contents" / "XPCServices" / "OrlithUpdateInstaller.xpc";
}

std::unique_ptr<UpdateInstallerChannel> UpdateInstallerChannel::spawn(
    const std::filesystem::path& serviceBundle, const UpdateTeam& team, AppLauncher& launcher) {
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
    throw std::system_error(errno, std::generic_category());
  }
  UniqueFd ours(pair[0]);
  UniqueFd theirs(pair[1]);
  LaunchRequest request;
  request.bundle = serviceBundle;
  request.identifier = std::string(update_wire::kServiceIdentifier);
  request.connection = theirs.get();
  request.settle = std::chrono::milliseconds(0);
  auto service = launcher.launch(request, team);
  if (!service) {
    throw std::system_error(ECHILD, std::generic_category());
  }
  // Only the service may hold the other end, or its end of the stream would never be seen.
  theirs.reset();
  auto channel = std::make_unique<UpdateInstallerChannel>(std::move(ours));
  channel->service_.emplace(std::move(*service));
  return channel;
}

std::optional<pid_t> UpdateInstallerChannel::servicePid() const {
  return service_ ? std::optional<pid_t>(service_->pid()) : std::nullopt;
}

void UpdateInstallerChannel::reapServiceIfEnded() const {
  if (service_) {
    SystemAppLauncher::reapIfEnded(*service_);
  }
}

bool UpdateInstallerChannel::isClosed() const {
  const std::lock_guard lock(mutex_);
  return closed_;
}

void UpdateInstallerChannel::readReplies() {
  for (;;) {
    std::optional<UpdateInstallerReply> reply;
    try {
      reply = stream_.readReply();
    } catch (const std::exception&) {
      // A broken stream ends the connection like its end does.
      reply.reset();
    }
    const std::lock_guard lock(mutex_);
    if (!reply) {
      closed_ = true;
      changed_.notify_all();
      return;
    }
    const auto waiting = pending_.find(reply->id);
    if (waiting != pending_.end() && !waiting->second) {
      waiting->second = std::move(*reply);
      changed_.notify_all();
    }
  }
}

std::optional<UpdateInstallerReply> UpdateInstallerChannel::call(UpdateInstallerRequest request,
                                                                 Timeout timeout, CallEnd* end) {
  CallEnd ignored = CallEnd::unanswered;
  CallEnd& how = end ? *end : ignored;
  how = CallEnd::unanswered;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  {
    const std::lock_guard lock(mutex_);
    if (closed_) {
      return std::nullopt;
    }
    request.id = nextId_++;
    pending_.emplace(request.id, std::nullopt);
  }
  try {
    stream_.writeRequest(request, deadline);
  } catch (const UpdateSendTimeout&) {
    // Half a frame may be out: the stream cannot resume, so the connection ends here.
    close();
    const std::lock_guard lock(mutex_);
    pending_.erase(request.id);
    how = CallEnd::sendTimedOut;
    return std::nullopt;
  } catch (const std::exception&) {
    // The peer is gone or the request cannot be framed: the call goes unanswered.
    const std::lock_guard lock(mutex_);
    pending_.erase(request.id);
    return std::nullopt;
  }
  std::unique_lock lock(mutex_);
  changed_.wait_until(lock, deadline,
                      [&] { return closed_ || pending_.at(request.id).has_value(); });
  auto reply = std::move(pending_.at(request.id));
  pending_.erase(request.id);
  if (reply) {
    how = CallEnd::answered;
  }
  return reply;
}

UpdatePrepareReply UpdateInstallerChannel::prepare(std::string package, std::string manifest,
                                                   Timeout timeout, CallEnd* end) {
  UpdateInstallerRequest request;
  request.method = UpdateInstallerMethod::prepare;
  request.package = std::move(package);
  request.manifest = std::move(manifest);
  const auto reply = call(std::move(request), timeout, end);
  const auto* body = reply ? std::get_if<UpdatePrepareReply>(&reply->body) : nullptr;
  return body ? *body : UpdatePrepareReply::unanswered();
}

UpdatePrepareReply UpdateInstallerChannel::prepareCurrentApplication(Timeout timeout,
                                                                     CallEnd* end) {
  UpdateInstallerRequest request;
  request.method = UpdateInstallerMethod::prepareCurrentApplication;
  const auto reply = call(std::move(request), timeout, end);
  const auto* body = reply ? std::get_if<UpdatePrepareReply>(&reply->body) : nullptr;
  return body ? *body : UpdatePrepareReply::unanswered();
}

UpdateCompletionReply UpdateInstallerChannel::install(std::string token, Timeout timeout,
                                                      CallEnd* end) {
  return callWithToken(UpdateInstallerMethod::install, std::move(token), timeout, end);
}

UpdateCompletionReply UpdateInstallerChannel::cancel(std::string token, Timeout timeout,
                                                     CallEnd* end) {
  return callWithToken(UpdateInstallerMethod::cancel, std::move(token), timeout, end);
}

UpdateCompletionReply UpdateInstallerChannel::callWithToken(UpdateInstallerMethod method,
                                                            std::string token, Timeout timeout,
                                                            CallEnd* end) {
  UpdateInstallerRequest request;
  request.method = method;
  request.token = std::move(token);
  const auto reply = call(std::move(request), timeout, end);
  const auto* body = reply ? std::get_if<UpdateCompletionReply>(&reply->body) : nullptr;
  return body ? *body : UpdateCompletionReply::unanswered();
}

}  // namespace orlith
