// UUIDs in the canonical text form 8-4-4-4-12 with upper-case hexadecimal digits, as the
// design's UUID strings are; the port lets tests supply predictable values.
#pragma once

#include <optional>
#include <string>
#include <string_view>

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

// The canonical upper-case form of a UUID written as 36 characters, 8-4-4-4-12 hexadecimal
// digits in either case with hyphens between the groups; nothing for any other text (braces,
// missing hyphens, surrounding spaces). Version and variant bits are not checked: ids from
// stored records need only be UUIDs.
std::optional<std::string> canonicalUuid(std::string_view text);

}  // namespace orlith
