// orlith-seal: makes team keys, seals bundles and signs update manifests, for the build and for
// test fixtures. No key it reads or writes is ever part of a bundle.
#include <cstdio>
#include <exception>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "BundleSealer.h"
#include "SealingKey.h"
#include "base/FileContents.h"
#include "base/Json.h"

namespace {

constexpr std::size_t kMaximumInputSize = 8 * 1024 * 1024;

int usage() {
  std::fputs(
      "usage: orlith-seal keygen <private.pem> [--public <public.txt>]\n"
      "       orlith-seal public-key --key <private.pem>\n"
      "       orlith-seal seal <bundle> --team-id <ID> --key <private.pem> "
      "--entitlements <file.json>\n"
      "       orlith-seal sign-manifest --key <private.pem> <inner.json>\n",
      stderr);
  return 64;
}

// Positional arguments and "--name value" options.
struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
};

bool parse(int argc, char** argv, Arguments& out) {
  for (int i = 2; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind("--", 0) == 0) {
      if (i + 1 >= argc) {
        return false;
      }
      out.options[argument.substr(2)] = argv[++i];
    } else {
      out.positional.push_back(argument);
    }
  }
  return true;
}

void writeText(const std::string& file, const std::string& text) {
  std::FILE* stream = std::fopen(file.c_str(), "wb");
  if (stream == nullptr || std::fwrite(text.data(), 1, text.size(), stream) != text.size() ||
      std::fclose(stream) != 0) {
    throw std::runtime_error(file + ": cannot be written");
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orlith;
  if (argc < 2) {
    return usage();
  }
  const std::string command = argv[1];
  Arguments args;
  if (!parse(argc, argv, args)) {
    return usage();
  }
  try {
    if (command == "keygen" && args.positional.size() == 1) {
      const SealingKey key = SealingKey::generate();
      key.writePem(args.positional[0]);
      if (args.options.contains("public")) {
        writeText(args.options["public"], key.publicKeyText());
      }
      return 0;
    }
    if (command == "public-key" && args.positional.empty() && args.options.contains("key")) {
      std::cout << SealingKey::readPem(args.options["key"]).publicKeyText() << '\n';
      return 0;
    }
    if (command == "seal" && args.positional.size() == 1 && args.options.contains("team-id") &&
        args.options.contains("key") && args.options.contains("entitlements")) {
      const Json entitlements =
          parseJson(readFileContents(args.options["entitlements"], kMaximumInputSize));
      BundleSealer::seal(args.positional[0], args.options["team-id"],
                         SealingKey::readPem(args.options["key"]), entitlements);
      return 0;
    }
    if (command == "sign-manifest" && args.positional.size() == 1 && args.options.contains("key")) {
      const std::string inner = readFileContents(args.positional[0], kMaximumInputSize);
      std::cout << BundleSealer::signManifest(inner, SealingKey::readPem(args.options["key"]))
                << '\n';
      return 0;
    }
  } catch (const std::exception& error) {
    std::cerr << "orlith-seal " << command << ": " << error.what() << '\n';
    return 1;
  }
  return usage();
}
