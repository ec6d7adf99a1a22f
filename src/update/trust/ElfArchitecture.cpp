// ELF header reading.
#include "update/trust/ElfArchitecture.h"

#include <elf.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "update/trust/UpdateWire.h"

namespace orlith {

std::optional<std::string_view> ElfArchitecture::ofFile(int fd) {
  unsigned char header[EI_NIDENT + 4] = {};
  ssize_t got = -1;
  do {
    got = ::pread(fd, header, sizeof header, 0);
  } while (got < 0 && errno == EINTR);
  if (got != static_cast<ssize_t>(sizeof header) || std::memcmp(header, ELFMAG, SELFMAG) != 0 ||
      header[EI_CLASS] != ELFCLASS64 || header[EI_DATA] != ELFDATA2LSB) {
    return std::nullopt;
  }
  // e_machine follows the two-byte e_type, little-endian.
  const unsigned machine = header[EI_NIDENT + 2] | (header[EI_NIDENT + 3] << 8);
  if (machine == EM_X86_64) {
    return update_wire::kArchitectureX64;
  }
  if (machine == EM_AARCH64) {
    return update_wire::kArchitectureArm64;
  }
  return std::nullopt;
}

}  // namespace orlith
