// Scanning /proc for bundles.
#include "update/trust/ProcessTable.h"

#include <dirent.h>

#include <memory>
#include <string>

#include "base/BundleInfo.h"

namespace orlith {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

std::optional<pid_t> pidOfName(const char* name) {
  long value = 0;
  for (const char* c = name; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9' || value > 4'194'304) {
      return std::nullopt;
    }
    value = value * 10 + (*c - '0');
  }
  return value > 0 ? std::optional<pid_t>(static_cast<pid_t>(value)) : std::nullopt;
}

}  // namespace

std::optional<std::filesystem::path> ProcessTable::bundleOfExecutable(
    const std::filesystem::path& executable) {
  const auto bundle = BundleInfo::bundlePathOfExecutable(executable);
  if (!bundle) {
    return std::nullopt;
  }
  try {
    const auto name = BundleInfo::load(*bundle).executableName();
    if (!name || *name != executable.filename().string()) {
      return std::nullopt;
    }
  } catch (const std::exception&) {
    // An unreadable Info.plist is no bundle at all for this purpose.
    return std::nullopt;
  }
  return bundle;
}

std::optional<std::filesystem::path> ProcessTable::bundleOf(const PinnedProcess& process) {
  const auto executable = process.executable();
  return executable ? bundleOfExecutable(*executable) : std::nullopt;
}

std::vector<pid_t> ProcessTable::processesOfBundle(std::string_view identifier, uid_t user) {
  std::vector<pid_t> found;
  const std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
  if (!proc) {
    return found;
  }
  while (const dirent* entry = ::readdir(proc.get())) {
    const auto pid = pidOfName(entry->d_name);
    if (!pid) {
      continue;
    }
    const auto process = PinnedProcess::open(*pid);
    if (!process || process->owner() != user) {
      continue;
    }
    const auto bundle = bundleOf(*process);
    if (!bundle || process->isTerminated()) {
      continue;
    }
    try {
      if (BundleInfo::load(*bundle).identifier() == std::string(identifier)) {
        found.push_back(*pid);
      }
    } catch (const std::exception&) {
      // A bundle that cannot be read is skipped, as an unreadable /proc entry is.
      continue;
    }
  }
  return found;
}

}  // namespace orlith
