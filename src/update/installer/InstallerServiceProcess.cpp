// The service's entry: accept the one connection, serve it, end.
#include "update/installer/InstallerServiceProcess.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <system_error>

#include "platform/archive/LibarchiveZipReader.h"
#include "update/installer/InstallerConnection.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateFrameStream.h"
#include "update/trust/UpdatePath.h"
#include "update/trust/UpdateWorkRoot.h"

namespace orlith {
namespace {

// No connection is left to wait for past this; a pending cancellation that long is given up.
constexpr std::chrono::minutes kLongestWind{30};

bool isStreamSocket(int fd) {
  int domain = 0;
  int type = 0;
  socklen_t size = sizeof domain;
  if (::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) != 0 || domain != AF_UNIX) {
    return false;
  }
  size = sizeof type;
  return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) == 0 && type == SOCK_STREAM;
}

}  // namespace

int InstallerServiceProcess::run(const UpdateLocations& locations,
                                 const InstallerServiceTimings& timings) {
  if (!isStreamSocket(kConnectionDescriptor)) {
    return 1;
  }
  UpdateFrameStream stream{UniqueFd(kConnectionDescriptor)};
  try {
    // Before anything is read, so that every byte ever read can be traced to its sender.
    UpdateFrameStream::passCredentials(stream.descriptor());
  } catch (const std::system_error&) {
    return 1;
  }
  UpdateTeam team;
  try {
    team = InstallationSecurity::ownTeam(locations);
  } catch (const UpdateFailure& failure) {
    std::fprintf(stderr, "OrlithUpdateInstaller: %s\n", failure.message().c_str());
    return 1;
  }
  std::unique_ptr<InstallerService> service;
  try {
    AuthenticatedCaller caller =
        InstallationSecurity::authenticatedCaller(stream.descriptor(), team);
    // The socket's credentials name whoever made the pair, not whoever holds its other end now.
    // So the service serves only the app that started it, and only what that very process
    // writes: a process that made the pair, kept an end and then became the genuine app (or
    // started the service first) gets nothing through.
    if (caller.process.pid() != ::getppid()) {
      return 1;
    }
    stream.requireSender(caller.process.pid());
    auto source = UpdatePath::resolvingSymlinks(UpdatePath::standardized(caller.bundle));
    if (!source) {
      return 1;
    }
    InstallerServiceContext context{locations, std::make_shared<SystemAppLauncher>(),
                                    std::make_shared<LibarchiveZipReader>(),
                                    std::make_shared<RandomUuidSource>(), timings};
    service = std::make_unique<InstallerService>(
        std::move(*source), std::make_shared<const PinnedProcess>(std::move(caller.process)),
        std::move(team), std::move(context));
  } catch (const std::exception&) {
    // A refused caller is closed without a reply.
    return 1;
  }

  // Roots of a service or updater that was killed, and of none that still runs.
  UpdateWorkRoot::removeUnclaimed(locations);
  InstallerConnection::serve(stream, *service);
  ::shutdown(stream.descriptor(), SHUT_RDWR);
  service->connectionClosed();
  service->waitUntilFinished(kLongestWind);
  service.reset();
  return 0;
}

}  // namespace orlith
