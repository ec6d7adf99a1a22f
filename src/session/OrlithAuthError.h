// Every failure of an account API operation, with the text the user is shown for it.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <variant>

#include "session/TransportError.h"

namespace orlith {

class OrlithAuthError : public std::exception {
 public:
  struct Server {
    std::string message;
  };
  struct Http {
    int status = 0;
    std::optional<std::string> message;
  };
  struct RateLimited {
    std::optional<std::int64_t> retryAfter;  // seconds, as the service sent it
  };
  struct Network {
    TransportError error;
  };
  struct InvalidResponse {};
  struct Cancelled {};
  using Case = std::variant<Server, Http, RateLimited, Network, InvalidResponse, Cancelled>;

  static OrlithAuthError server(std::string message);
  static OrlithAuthError http(int status, std::optional<std::string> message);
  static OrlithAuthError rateLimited(std::optional<std::int64_t> retryAfter);
  static OrlithAuthError network(TransportError error);
  static OrlithAuthError invalidResponse();
  static OrlithAuthError cancelled();

  const Case& value() const { return case_; }
  template <class T>
  bool is() const {
    return std::holds_alternative<T>(case_);
  }
  template <class T>
  const T* as() const {
    return std::get_if<T>(&case_);
  }

  // The description the platform would show for this error.
  const std::string& errorDescription() const { return description_; }
  // What an alert shows: the description, or a generic text when it is empty or blank, so that
  // no alert is ever empty.
  std::string failureMessage() const;

  const char* what() const noexcept override { return description_.c_str(); }

 private:
  explicit OrlithAuthError(Case value);

  Case case_;
  std::string description_;
};

inline constexpr const char* kGenericFailureMessage = "Something went wrong. Please try again.";

}  // namespace orlith
