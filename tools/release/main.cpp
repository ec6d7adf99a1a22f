// orlith-release: makes a sealed, signed test release of a sealed app for the stand-in service
// to publish. Prints the release's version, package and manifest.
#include <iostream>
#include <map>
#include <string>

#include "ReleaseBuilder.h"
#include "base/FileContents.h"

namespace {

int usage() {
  std::cerr << "usage: orlith-release --app <Orlith.app> --team-id <ID> --team-key <private.pem>\n"
               "         --entitlements <file.json> --signing-key <private.pem>\n"
               "         --download-base <https://host/path/> --out <folder> [--version <x.y.z>]\n";
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orlith;
  std::map<std::string, std::string> options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (!name.starts_with("--")) {
      return usage();
    }
    options[name.substr(2)] = argv[i + 1];
  }
  for (const char* required :
       {"app", "team-id", "team-key", "entitlements", "signing-key", "download-base", "out"}) {
    if (argc % 2 == 0 || !options.contains(required)) {
      return usage();
    }
  }
  try {
    const SealingKey teamKey = SealingKey::readPem(options["team-key"]);
    const SealingKey signingKey = SealingKey::readPem(options["signing-key"]);
    const Release release =
        ReleaseBuilder::build({options["app"], options["version"], options["team-id"], teamKey,
                               parseJson(readFileContents(options["entitlements"], 1024 * 1024)),
                               signingKey, options["download-base"], options["out"]});
    std::cout << "version " << release.version << "\npackage " << release.package.string()
              << "\nmanifest " << release.manifest.string() << '\n';
  } catch (const std::exception& error) {
    std::cerr << "orlith-release: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
