// Texts of the account API errors.
#include "session/OrlithAuthError.h"

#include <utility>

#include "base/Text.h"

namespace orlith {
namespace {

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

std::string describe(const OrlithAuthError::Case& value) {
  return std::visit(
      Overloaded{
          [](const OrlithAuthError::Server& server) { return server.message; },
          [](const OrlithAuthError::Http& http) {
            if (http.message)
              return *http.message;
            return "Request failed (" + std::to_string(http.status) + "). Please try again.";
          },
          [](const OrlithAuthError::RateLimited& limited) {
            // A negative wait is nonsense to show; the value itself is kept for the caller.
            if (limited.retryAfter && *limited.retryAfter >= 0) {
              return "Too many attempts. Try again in " + std::to_string(*limited.retryAfter) +
                     "s.";
            }
            return std::string("Too many attempts. Please wait a moment and try again.");
          },
          [](const OrlithAuthError::Network& network) {
            if (network.error.isUrlError(UrlErrorCode::notConnectedToInternet)) {
              return std::string(kOfflineDescription);
            }
            return network.error.description();
          },
          [](const OrlithAuthError::InvalidResponse&) {
            return std::string("Orlith returned an unexpected response. Please try again.");
          },
          [](const OrlithAuthError::Cancelled&) {
            return std::string("The request was cancelled.");
          },
      },
      value);
}

}  // namespace

OrlithAuthError::OrlithAuthError(Case value)
    : case_(std::move(value)), description_(describe(case_)) {}

OrlithAuthError OrlithAuthError::server(std::string message) {
  return OrlithAuthError(Server{std::move(message)});
}

OrlithAuthError OrlithAuthError::http(int status, std::optional<std::string> message) {
  return OrlithAuthError(Http{status, std::move(message)});
}

OrlithAuthError OrlithAuthError::rateLimited(std::optional<std::int64_t> retryAfter) {
  return OrlithAuthError(RateLimited{retryAfter});
}

OrlithAuthError OrlithAuthError::network(TransportError error) {
  return OrlithAuthError(Network{std::move(error)});
}

OrlithAuthError OrlithAuthError::invalidResponse() {
  return OrlithAuthError(InvalidResponse{});
}

OrlithAuthError OrlithAuthError::cancelled() {
  return OrlithAuthError(Cancelled{});
}

std::string OrlithAuthError::failureMessage() const {
  if (trimWhitespaceAndNewlines(description_).empty())
    return kGenericFailureMessage;
  return description_;
}

}  // namespace orlith
