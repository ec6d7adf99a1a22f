// A signing team: its ten-character identifier and its Ed25519 public key (strict base64 of the
// 32 raw bytes). Checks compare both fields.
#pragma once

#include <string>

namespace orlith {

struct UpdateTeam {
  std::string identifier;
  std::string publicKey;

  bool operator==(const UpdateTeam&) const = default;
};

}  // namespace orlith
