// The environment a spawned update program gets: an allow-list of the session's variables and a
// fixed PATH, never the caller's whole environment, so an injected library or module path set
// for one program cannot travel down the chain app, service, updater, new app.
#pragma once

#include <string>
#include <vector>

namespace orlith {

class LaunchEnvironment final {
 public:
  LaunchEnvironment() = delete;

  static constexpr const char* kPath = "PATH=/usr/local/bin:/usr/bin:/bin";

  // "NAME=value" entries of environment (a null-terminated array) that are allowed, PATH first
  // and fixed; an entry without "=" or with an empty name is dropped.
  static std::vector<std::string> allowed(const char* const* environment);
  static bool isAllowedName(const std::string& name);
};

}  // namespace orlith
