// A downloaded package as the service unpacks it: the bytes become the work root's package file
// and are extracted into the root, under small limits; the root is emptied after each input.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>

#include "SealingKey.h"
#include "platform/archive/LibarchiveZipReader.h"
#include "update/trust/InstallationSecurity.h"

namespace {

struct Workspace {
  Workspace() {
    char pattern[] = "/tmp/orlith-fuzz-zip-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
      std::abort();
    }
    folder = pattern;
    root = folder / "OrlithUpdate-fuzz";
    locations.temporaryFolder = folder;
    locations.instanceScope = folder;
  }
  ~Workspace() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  std::filesystem::path folder;
  std::filesystem::path root;
  orlith::UpdateLocations locations;
  orlith::UpdateTeam team{"ABCDE12345", orlith::SealingKey::generate().publicKeyText()};
  orlith::LibarchiveZipReader reader;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Workspace space;
  std::error_code ignored;
  std::filesystem::remove_all(space.root, ignored);
  std::filesystem::create_directory(space.root, ignored);
  const auto package = space.root / "Package.zip";
  {
    std::ofstream out(package, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  orlith::UpdateExtractionLimits limits;
  limits.maximumBytes = 8 * 1024 * 1024;
  limits.maximumEntries = 2000;
  try {
    orlith::InstallationSecurity::extract(package, space.root, "1.1.0", space.team, space.reader,
                                          space.locations, limits);
  } catch (const std::exception&) {
    // Refused packages are the expected answer.
  }
  // Nothing may land outside the root.
  for (const auto& item : std::filesystem::directory_iterator(space.folder)) {
    if (item.path() != space.root) {
      __builtin_trap();
    }
  }
  return 0;
}
