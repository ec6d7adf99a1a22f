// A checked release, handed from the update check to the download, the installer client and
// the coordinator.
#pragma once

#include <string>

#include "base/Url.h"

namespace orlith {

struct VerifiedUpdateRelease {
  std::string version;  // as the manifest gives it
  Url downloadURL;      // a trusted download address
  std::string sha256;   // 64 lower-case hexadecimal digits
  // The service's reply body byte for byte: the signed outer manifest, never re-encoded.
  std::string signedManifest;
};

}  // namespace orlith
