// The one error type of the update machinery: an English user text and whether only a manual
// installation can proceed. It crosses the installer connection as (text, flag).
#pragma once

#include <exception>
#include <string>

namespace orlith {

enum class ManualInstallation { notRequired, required };

class UpdateFailure : public std::exception {
 public:
  explicit UpdateFailure(std::string message,
                         ManualInstallation manual = ManualInstallation::notRequired)
      : message_(std::move(message)), manual_(manual) {}

  const std::string& message() const noexcept { return message_; }
  bool requiresManualInstallation() const noexcept {
    return manual_ == ManualInstallation::required;
  }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
  ManualInstallation manual_;
};

}  // namespace orlith
