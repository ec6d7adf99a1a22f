// A launch of the installed or previous app that failed, and whether it may still have taken
// place, in which case nothing may be rolled back.
#pragma once

#include <exception>
#include <string>

namespace orlith {

enum class ApplicationMayBeRunning { no, yes };

class UpdateLaunchFailure : public std::exception {
 public:
  UpdateLaunchFailure(std::string message, ApplicationMayBeRunning running)
      : message_(std::move(message)), running_(running) {}

  const std::string& message() const noexcept { return message_; }
  bool applicationMayBeRunning() const noexcept { return running_ == ApplicationMayBeRunning::yes; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
  ApplicationMayBeRunning running_;
};

}  // namespace orlith
