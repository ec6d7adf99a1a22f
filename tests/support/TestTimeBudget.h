// What is left of a test's time. Each test runs in a process of its own under ctest's time-out,
// which the build hands it in ORLITH_TEST_TIMEOUT (seconds); its waits take no more than what is
// left of that, less a margin for tearing down, so a test that waits too long fails at the wait
// that ran out, with that wait's message, instead of being killed by ctest.
#pragma once

#include <chrono>

namespace orlith::testing {

// `wait`, or less when the test's time runs out sooner; zero once it has run out.
std::chrono::milliseconds boundedByTestTime(std::chrono::milliseconds wait);

}  // namespace orlith::testing
