// Descriptor-relative tree copy and removal.
#include "update/trust/UpdateTreeFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/DescriptorTree.h"
#include "update/trust/DescriptorFiles.h"
#include "update/trust/UpdateTreeWriter.h"

namespace orlith {
namespace {

constexpr std::uint64_t kFileLimit = 1ULL << 40;

void copyInto(int source, UpdateTreeWriter& writer, std::vector<std::string>& components) {
  for (const std::string& name : DescriptorFiles::namesIn(source)) {
    const auto info = DescriptorFiles::statAt(source, name);
    if (!info) {
      DescriptorFiles::throwErrno(errno);
    }
    components.push_back(name);
    if (S_ISDIR(info->st_mode)) {
      const UniqueFd folder = DescriptorFiles::openDirectory(source, name);
      if (!folder) {
        DescriptorFiles::throwErrno(errno);
      }
      writer.makeDirectory(components);
      copyInto(folder.get(), writer, components);
    } else if (S_ISREG(info->st_mode)) {
      const UniqueFd file = DescriptorFiles::openRegularFile(source, name);
      if (!file) {
        DescriptorFiles::throwErrno(errno);
      }
      const int fd = file.get();
      const auto read = [fd](char* buffer, std::size_t size) -> std::size_t {
        for (;;) {
          const ssize_t got = ::read(fd, buffer, size);
          if (got >= 0) {
            return static_cast<std::size_t>(got);
          }
          if (errno != EINTR) {
            DescriptorFiles::throwErrno(errno);
          }
        }
      };
      const TreeFileMode mode =
          (info->st_mode & S_IXUSR) != 0 ? TreeFileMode::executable : TreeFileMode::regular;
      writer.writeFile(components, mode, read, kFileLimit);
    } else {
      DescriptorFiles::throwErrno(S_ISLNK(info->st_mode) ? ELOOP : EPERM);
    }
    components.pop_back();
  }
}

std::pair<UniqueFd, std::string> openParentOf(const std::string& path) {
  const std::filesystem::path full(path);
  UniqueFd parent = DescriptorFiles::openDirectory(full.parent_path().string());
  if (!parent) {
    DescriptorFiles::throwErrno(errno);
  }
  return {std::move(parent), full.filename().string()};
}

}  // namespace

void UpdateTreeFiles::copy(int sourceFolder, const std::string& sourceName, int targetFolder,
                           const std::string& targetName) {
  const UniqueFd source = DescriptorFiles::openDirectory(sourceFolder, sourceName);
  if (!source) {
    DescriptorFiles::throwErrno(errno);
  }
  UpdateTreeWriter writer(targetFolder);
  std::vector<std::string> components{targetName};
  if (DescriptorFiles::statAt(targetFolder, targetName)) {
    DescriptorFiles::throwErrno(EEXIST);
  }
  writer.makeDirectory(components);
  copyInto(source.get(), writer, components);
}

void UpdateTreeFiles::copy(const std::string& sourcePath, const std::string& targetPath) {
  const auto [source, sourceName] = openParentOf(sourcePath);
  const auto [target, targetName] = openParentOf(targetPath);
  copy(source.get(), sourceName, target.get(), targetName);
}

void UpdateTreeFiles::copyContents(int sourceFolder, int targetFolder) {
  UpdateTreeWriter writer(targetFolder);
  std::vector<std::string> components;
  copyInto(sourceFolder, writer, components);
}

void UpdateTreeFiles::remove(int folder, const std::string& name) {
  DescriptorTree::remove(folder, name);
}

void UpdateTreeFiles::remove(const std::string& path) {
  const auto [parent, name] = openParentOf(path);
  remove(parent.get(), name);
}

}  // namespace orlith
