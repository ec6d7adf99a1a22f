// fork and execveat by descriptor, with the child confined to async-signal-safe calls.
#include "update/trust/AppLauncher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <system_error>

#include "base/BundleInfo.h"
#include "update/trust/BundleSeal.h"
#include "update/trust/DescriptorFiles.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/LaunchEnvironment.h"
#include "update/trust/UpdateFailure.h"

extern char** environ;

namespace orlith {
namespace {

constexpr const char* kCodeVerificationFailed = "The update failed code signature verification.";

// The program named by the bundle, opened close-on-exec, whose bytes are those its seal lists.
UniqueFd openSealedProgram(const LaunchRequest& request, const UpdateTeam& team) {
  InstallationSecurity::validateCode(request.bundle, request.identifier, team);
  BundleSealDocument document;
  std::optional<std::string> executable;
  try {
    document = BundleSeal::verify(request.bundle, request.identifier, team);
    executable = BundleInfo::load(request.bundle).executableName();
  } catch (const std::exception&) {
    throw UpdateFailure(kCodeVerificationFailed);
  }
  if (!executable || executable->empty() || executable->find('/') != std::string::npos) {
    throw UpdateFailure(kCodeVerificationFailed);
  }
  const auto entry = document.files.find("MacOS/" + *executable);
  const UniqueFd folder =
      DescriptorFiles::openDirectory((request.bundle / "Contents" / "MacOS").string());
  UniqueFd program =
      folder ? DescriptorFiles::openRegularFile(folder.get(), *executable) : UniqueFd();
  if (entry == document.files.end() || entry->second.kind != SealEntryKind::file || !program ||
      DescriptorFiles::sha256Of(program.get()) != entry->second.digest) {
    throw UpdateFailure(kCodeVerificationFailed);
  }
  return program;
}

[[noreturn]] void failChild(int pipe) {
  const int error = errno;
  // The parent reads a short pipe as "started"; nothing else can be done here.
  [[maybe_unused]] const ssize_t written = ::write(pipe, &error, sizeof error);
  ::_exit(127);
}

// Runs in the forked child: only async-signal-safe calls from here to exec.
[[noreturn]] void execChild(int program, int connection, int errorPipe, char** argv, char** envp) {
  sigset_t all;
  ::sigemptyset(&all);
  ::sigprocmask(SIG_SETMASK, &all, nullptr);
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal) {
    ::sigaction(signal, &standard, nullptr);
  }
  // Every descriptor we keep is first moved above the ones being placed, so no dup2 below can
  // overwrite another.
  const int pipe = ::fcntl(errorPipe, F_DUPFD_CLOEXEC, 10);
  const int exe = ::fcntl(program, F_DUPFD_CLOEXEC, 10);
  const int socket = connection >= 0 ? ::fcntl(connection, F_DUPFD, 10) : -1;
  if (pipe < 0 || exe < 0 || (connection >= 0 && socket < 0)) {
    failChild(errorPipe);
  }
  if (::setsid() < 0 || ::chdir("/") != 0) {
    failChild(pipe);
  }
  const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (null < 0 || ::dup2(null, 0) < 0) {
    failChild(pipe);
  }
  int next = 3;
  if (socket >= 0) {
    if (::dup2(socket, 3) < 0) {
      failChild(pipe);
    }
    next = 4;
  }
  if (::dup3(exe, next, O_CLOEXEC) < 0 || ::dup3(pipe, next + 1, O_CLOEXEC) < 0) {
    failChild(pipe);
  }
  ::syscall(SYS_close_range, static_cast<unsigned>(next + 2), ~0U, 0U);
  ::syscall(SYS_execveat, next, "", argv, envp, AT_EMPTY_PATH);
  failChild(next + 1);
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  result.reserve(strings.size() + 1);
  for (std::string& text : strings) {
    result.push_back(text.data());
  }
  result.push_back(nullptr);
  return result;
}

void reapNow(pid_t pid) {
  while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

std::optional<PinnedProcess> SystemAppLauncher::launch(const LaunchRequest& request,
                                                       const UpdateTeam& team) {
  const UniqueFd program = openSealedProgram(request, team);

  std::vector<std::string> arguments{
      (request.bundle / "Contents" / "MacOS" /
       BundleInfo::load(request.bundle).executableName().value_or(""))
          .string()};
  arguments.insert(arguments.end(), request.arguments.begin(), request.arguments.end());
  std::vector<std::string> environment = LaunchEnvironment::allowed(environ);
  std::vector<char*> argv = pointers(arguments);
  std::vector<char*> envp = pointers(environment);

  int errorPipe[2];
  if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
    DescriptorFiles::throwErrno(errno);
  }
  UniqueFd readEnd(errorPipe[0]);
  UniqueFd writeEnd(errorPipe[1]);
  const pid_t pid = ::fork();
  if (pid < 0) {
    DescriptorFiles::throwErrno(errno);
  }
  if (pid == 0) {
    execChild(program.get(), request.connection, writeEnd.get(), argv.data(), envp.data());
  }
  writeEnd.reset();
  // Taken before anything could reap the child, so the pid cannot have been reused.
  const long pidfd = ::syscall(SYS_pidfd_open, pid, 0);
  const int pidfdError = errno;

  int childError = 0;
  ssize_t got = -1;
  do {
    got = ::read(readEnd.get(), &childError, sizeof childError);
  } while (got < 0 && errno == EINTR);
  if (got > 0 || pidfd < 0) {
    if (pidfd < 0) {
      ::kill(pid, SIGKILL);
    }
    reapNow(pid);
    if (pidfd >= 0) {
      ::close(static_cast<int>(pidfd));
    }
    throw std::system_error(got > 0 ? childError : pidfdError, std::generic_category());
  }
  PinnedProcess process(pid, UniqueFd(static_cast<int>(pidfd)));

  pollfd entry{process.descriptor(), POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + request.settle;
  int ready = 0;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    ready = ::poll(&entry, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    if (ready >= 0 || errno != EINTR) {
      break;
    }
  }
  if (ready != 0) {
    reapIfEnded(process);
    return std::nullopt;
  }
  return process;
}

void SystemAppLauncher::reapIfEnded(const PinnedProcess& process) {
  siginfo_t info{};
  // Fails with ECHILD for a process that is not our child; then its own parent reaps it.
  ::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(process.descriptor()), &info,
           WEXITED | WNOHANG);
}

}  // namespace orlith
