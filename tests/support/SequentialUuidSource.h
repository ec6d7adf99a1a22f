// A UuidSource for tests: 00000000-0000-4000-8000-000000000001, ...0002, and so on.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/Uuid.h"

namespace orlith {

class SequentialUuidSource final : public UuidSource {
 public:
  std::string next() override {
    char text[37];
    std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012llX",
                  static_cast<unsigned long long>(++count_));
    return text;
  }

  std::uint64_t issued() const { return count_; }

 private:
  std::uint64_t count_ = 0;
};

}  // namespace orlith
