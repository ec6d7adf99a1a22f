// The architecture word of an ELF program: a 64-bit little-endian file for x86-64 is "x64", for
// AArch64 "arm64"; anything else has none.
#pragma once

#include <optional>
#include <string_view>

namespace orlith {

class ElfArchitecture final {
 public:
  ElfArchitecture() = delete;

  // Reads the header at offset 0 of an open file, without moving its offset.
  static std::optional<std::string_view> ofFile(int fd);
};

}  // namespace orlith
