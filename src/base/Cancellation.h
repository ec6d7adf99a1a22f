// Cooperative cancellation of tasks through std::stop_token.
#pragma once

#include <exception>
#include <stop_token>

namespace orlith {

// Thrown by an operation that stopped because its stop token was triggered. Detached tasks
// that end with it are not treated as failures.
class TaskCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "task cancelled"; }
};

inline void throwIfStopRequested(const std::stop_token& stop) {
  if (stop.stop_requested())
    throw TaskCancelled();
}

}  // namespace orlith
