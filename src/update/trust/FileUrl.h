// The "file://" URLs of the install plan: empty host, percent-encoded absolute path, a trailing
// "/" for folders. Decoding accepts only that form.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orlith {

enum class PathKind { file, directory };

struct FileUrl {
  std::filesystem::path path;  // absolute, without a trailing "/"
  PathKind kind = PathKind::file;

  std::string encoded() const;
  // Nothing for another scheme or host, a relative path, a bad or NUL escape, a raw character
  // that needs escaping, a query or a fragment.
  static std::optional<FileUrl> decode(std::string_view text);

  bool operator==(const FileUrl&) const = default;
};

}  // namespace orlith
