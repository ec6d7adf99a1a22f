// Where time comes from: the monotonic clock for intervals, the wall clock for dates.
#pragma once

#include <chrono>

namespace orlith {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::chrono::steady_clock::time_point monotonicNow() const = 0;
  virtual std::chrono::system_clock::time_point wallNow() const = 0;
};

class SystemClock final : public Clock {
 public:
  std::chrono::steady_clock::time_point monotonicNow() const override {
    return std::chrono::steady_clock::now();
  }
  std::chrono::system_clock::time_point wallNow() const override {
    return std::chrono::system_clock::now();
  }
};

}  // namespace orlith
