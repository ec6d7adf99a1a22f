// Opening a private folder of update files.
#include "update/trust/PrivateFolder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "update/trust/DescriptorFiles.h"
#include "update/trust/UpdateFailure.h"

namespace orlith {
namespace {

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

// Each missing folder of the path, mode 0700; an existing one is judged by its user.
void makeFolders(const std::filesystem::path& folder) {
  std::filesystem::path partial;
  for (const auto& part : folder) {
    partial /= part;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
      DescriptorFiles::throwErrno(errno);
    }
  }
}

}  // namespace

bool PrivateFolder::isPrivate(const struct stat& info, uid_t user) {
  return S_ISDIR(info.st_mode) && info.st_uid == user && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::optional<PrivateFolder::Opened> PrivateFolder::open(const std::filesystem::path& folder,
                                                         uid_t user, FolderCreation creation,
                                                         const std::string& refusal) {
  const std::filesystem::path standard = folder.lexically_normal();
  const std::filesystem::path parent = standard.parent_path();
  const std::string name = standard.filename().string();
  if (!standard.is_absolute() || name.empty() || name == "." || name == "..") {
    throw UpdateFailure(refusal);
  }
  if (creation == FolderCreation::ifMissing) {
    makeFolders(standard);
  }
  const std::unique_ptr<char, FreeDeleter> resolved(::realpath(parent.c_str(), nullptr));
  if (!resolved) {
    if (errno == ENOENT && creation == FolderCreation::never) {
      return std::nullopt;
    }
    DescriptorFiles::throwErrno(errno);
  }
  const UniqueFd above(::open(resolved.get(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!above) {
    DescriptorFiles::throwErrno(errno);
  }
  const auto info = DescriptorFiles::statAt(above.get(), name);
  if (!info) {
    if (errno == ENOENT && creation == FolderCreation::never) {
      return std::nullopt;
    }
    DescriptorFiles::throwErrno(errno);
  }
  if (!isPrivate(*info, user)) {
    throw UpdateFailure(refusal);
  }
  Opened opened{DescriptorFiles::openDirectory(above.get(), name),
                std::filesystem::path(resolved.get()) / name};
  struct stat held {};
  // Judged again on what was opened, in case the entry changed after the first look.
  if (!opened.fd || ::fstat(opened.fd.get(), &held) != 0 || !isPrivate(held, user) ||
      held.st_ino != info->st_ino || held.st_dev != info->st_dev) {
    throw UpdateFailure(refusal);
  }
  return opened;
}

void PrivateFolder::visitOwnEntries(
    const std::filesystem::path& folder, uid_t user,
    const std::function<bool(std::string_view name)>& ours,
    const std::function<void(int folder, const std::string& name)>& visit) {
  std::optional<Opened> opened;
  std::vector<std::string> names;
  try {
    opened = open(folder, user, FolderCreation::never, folder.string());
    if (!opened) {
      return;
    }
    names = DescriptorFiles::namesIn(opened->fd.get());
  } catch (const std::exception&) {
    // Nothing in a folder that is a link or not private is ours; whoever makes something there
    // next is refused with the reason.
    return;
  }
  for (const std::string& name : names) {
    if (!ours(name)) {
      continue;
    }
    try {
      visit(opened->fd.get(), name);
    } catch (const std::exception&) {
      // Left for the next visit; nothing depends on its absence.
    }
  }
}

}  // namespace orlith
