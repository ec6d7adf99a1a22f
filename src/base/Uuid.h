// UUIDs in the canonical text form 8-4-4-4-12 with upper-case hexadecimal digits, as the
// design's UUID strings are; the port lets tests supply predictable values.
#pragma once

#include <string>

namespace orlith {

class UuidSource {
 public:
  virtual ~UuidSource() = default;
  // A new UUID string, e.g. "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
  virtual std::string next() = 0;
};

// Random version-4 UUIDs from OpenSSL's CSPRNG; safe to call from any thread.
class RandomUuidSource final : public UuidSource {
 public:
  std::string next() override;
};

std::string makeRandomUuid();

}  // namespace orlith
