// A failed page load in the error domains and codes the rest of the system knows (the offline
// set, the diagnostics domain filter), made from what the engine reported.
#pragma once

#include <string>
#include <string_view>

namespace orlith {

// What the engine said, already told apart by its adapter.
enum class EngineErrorKind {
  cancelled,
  interruptedByPolicy,
  connectionRefused,
  hostNotFound,
  timedOut,
  unreachable,
  connectionLost,
  dnsTemporaryFailure,
  tls,
  other
};

struct EngineError {
  EngineErrorKind kind = EngineErrorKind::other;
  // The engine's own domain name and code, kept for `other`.
  std::string domain;
  int code = 0;
};

struct LoadError {
  static constexpr std::string_view kUrlDomain = "NSURLErrorDomain";
  static constexpr std::string_view kWebKitDomain = "WebKitErrorDomain";
  static constexpr int kCancelled = -999;
  static constexpr int kTimedOut = -1001;
  static constexpr int kFrameLoadInterrupted = 102;

  std::string domain;
  int code = 0;

  static LoadError fromEngine(const EngineError& error);
  static LoadError timedOut() { return {std::string(kUrlDomain), kTimedOut}; }

  // One of the eight codes that mean the network is not there.
  bool isOffline() const;
  // A navigation that was stopped or replaced rather than failed.
  bool isInterruption() const;

  friend bool operator==(const LoadError&, const LoadError&) = default;
};

}  // namespace orlith
