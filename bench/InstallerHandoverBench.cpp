// Times the hand-over of a 250,000,000-byte package to the installer service's end of the
// connection: from the app side's first byte sent until a child process, reading as the service
// reads, holds the whole package. Best of three; the last line is the figure.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>
#include <variant>

#include "update/trust/UpdateFrameStream.h"

namespace {

constexpr std::size_t kPackageSize = 250'000'000;
constexpr int kRounds = 3;

std::string makePackage() {
  std::string package(kPackageSize, '\0');
  std::uint32_t state = 2463534242u;
  for (char& c : package) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    c = static_cast<char>(state);
  }
  return package;
}

// The service's side: read one request, then answer one byte once it holds every byte of it.
[[noreturn]] void serve(orlith::UniqueFd socket, orlith::UniqueFd done) {
  int status = 1;
  try {
    orlith::UpdateFrameStream stream(std::move(socket));
    const auto request = stream.readRequest();
    const auto* read = request ? std::get_if<orlith::UpdateInstallerRequest>(&*request) : nullptr;
    if (read != nullptr && read->package.size() == kPackageSize) {
      const char byte = 1;
      status = ::write(done.get(), &byte, 1) == 1 ? 0 : 1;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "service side: %s\n", error.what());
  }
  ::_exit(status);
}

double oneRound(const std::string& package) {
  int pair[2];
  int signal[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0 ||
      ::pipe2(signal, O_CLOEXEC) != 0) {
    throw std::system_error(errno, std::generic_category());
  }
  orlith::UniqueFd ours(pair[0]);
  orlith::UniqueFd theirs(pair[1]);
  orlith::UniqueFd doneRead(signal[0]);
  orlith::UniqueFd doneWrite(signal[1]);
  const pid_t child = ::fork();
  if (child < 0) {
    throw std::system_error(errno, std::generic_category());
  }
  if (child == 0) {
    ours.reset();
    doneRead.reset();
    serve(std::move(theirs), std::move(doneWrite));
  }
  theirs.reset();
  doneWrite.reset();
  orlith::UpdateFrameStream stream(std::move(ours));
  orlith::UpdateInstallerRequest request;
  request.id = 1;
  request.method = orlith::UpdateInstallerMethod::prepare;
  request.package = package;
  request.manifest = "{}";
  const auto start = std::chrono::steady_clock::now();
  stream.writeRequest(request);
  char byte = 0;
  const bool held = ::read(doneRead.get(), &byte, 1) == 1;
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!held) {
    throw std::runtime_error("the service side did not receive the package");
  }
  return seconds;
}

}  // namespace

int main() {
  try {
    const std::string package = makePackage();
    double best = 1e9;
    for (int round = 0; round < kRounds; ++round) {
      const double seconds = oneRound(package);
      std::printf("round %d: %.3f s\n", round + 1, seconds);
      best = std::min(best, seconds);
    }
    const auto megabytesPerSecond =
        static_cast<long long>(static_cast<double>(kPackageSize) / 1e6 / best);
    std::printf("handover_mb_per_s: %lld\n", megabytesPerSecond);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_installer_handover: %s\n", error.what());
    return 1;
  }
}
