// Counts from the start of the test process, which runs one test.
#include "support/TestTimeBudget.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace orlith::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Left for tearing down after the last wait: closing windows, ending the programs it started.
constexpr std::chrono::seconds kTearDownMargin{20};

const Clock::time_point kProcessStarted = Clock::now();

std::optional<Clock::time_point> waitsEnd() {
  static const std::optional<Clock::time_point> end = []() -> std::optional<Clock::time_point> {
    const char* timeout = std::getenv("ORLITH_TEST_TIMEOUT");
    if (!timeout || !*timeout)
      return std::nullopt;
    const std::chrono::seconds total{std::atol(timeout)};
    return kProcessStarted + std::max(total - kTearDownMargin, total / 2);
  }();
  return end;
}

}  // namespace

std::chrono::milliseconds boundedByTestTime(std::chrono::milliseconds wait) {
  const auto end = waitsEnd();
  if (!end)
    return wait;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*end - Clock::now());
  if (left < wait) {
    static bool told = false;
    if (!told && left.count() <= 0) {
      told = true;
      std::fprintf(stderr, "The test's time is up (ctest's time-out is %s s): its waits end now.\n",
                   std::getenv("ORLITH_TEST_TIMEOUT"));
    }
    return std::max(left, std::chrono::milliseconds(0));
  }
  return wait;
}

}  // namespace orlith::testing
