// Times that other programs give as seconds since the epoch (cookie expiries, property-list
// dates), as points of the system clock. The clock counts nanoseconds and so ends in 2262; a time
// beyond its range (a cookie that expires in the year 9999) is clamped, never overflowed.
#pragma once

#include <chrono>
#include <cstdint>
#include <limits>

namespace orlith {

// Half the clock's range on either side, as the stored-session reader keeps it, so that
// differences between two clamped times cannot overflow either.
inline constexpr std::int64_t kLargestUnixSeconds =
    std::numeric_limits<std::chrono::system_clock::duration::rep>::max() /
    std::chrono::system_clock::duration(std::chrono::seconds(1)).count() / 2;

inline std::chrono::system_clock::time_point systemTimeFromUnixSeconds(
    std::int64_t seconds, std::int64_t microseconds = 0) {
  if (seconds >= kLargestUnixSeconds) {
    return std::chrono::system_clock::time_point(std::chrono::seconds(kLargestUnixSeconds));
  }
  if (seconds <= -kLargestUnixSeconds) {
    return std::chrono::system_clock::time_point(std::chrono::seconds(-kLargestUnixSeconds));
  }
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::seconds(seconds) + std::chrono::microseconds(microseconds % 1'000'000)));
}

}  // namespace orlith
