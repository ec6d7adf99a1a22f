// Lexical and resolved path forms.
#include "update/trust/UpdatePath.h"

#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace orlith {
namespace {

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

bool existsWithoutFollowing(const std::filesystem::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

std::filesystem::path UpdatePath::standardized(const std::filesystem::path& path) {
  std::string text = path.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') {
    text.pop_back();
  }
  return text;
}

std::optional<std::filesystem::path> UpdatePath::resolvingSymlinks(
    const std::filesystem::path& path) {
  const std::filesystem::path standard = standardized(path);
  std::filesystem::path prefix = standard;
  std::vector<std::filesystem::path> rest;
  while (!prefix.empty() && !existsWithoutFollowing(prefix)) {
    if (prefix == prefix.parent_path()) {
      break;
    }
    rest.push_back(prefix.filename());
    prefix = prefix.parent_path();
  }
  std::filesystem::path resolved;
  if (prefix.empty()) {
    return standard;
  }
  const std::unique_ptr<char, FreeDeleter> real(::realpath(prefix.c_str(), nullptr));
  if (!real) {
    return std::nullopt;
  }
  resolved = real.get();
  for (auto it = rest.rbegin(); it != rest.rend(); ++it) {
    resolved /= *it;
  }
  return standardized(resolved);
}

bool UpdatePath::isFreeOfLinks(const std::filesystem::path& path) {
  const std::filesystem::path standard = standardized(path);
  const auto resolved = resolvingSymlinks(standard);
  return resolved && *resolved == standard;
}

bool UpdatePath::isWithin(const std::filesystem::path& path, const std::filesystem::path& folder) {
  const auto inner = resolvingSymlinks(standardized(path));
  const auto outer = resolvingSymlinks(standardized(folder));
  if (!inner || !outer) {
    return false;
  }
  auto component = inner->begin();
  for (const auto& part : *outer) {
    if (component == inner->end() || *component != part) {
      return false;
    }
    ++component;
  }
  return true;
}

}  // namespace orlith
