// The launch-at-login registration of the app as the desktop reports it, with the integer
// status of the design: 0 not registered, 1 enabled, 2 awaiting approval, 3 unavailable.
// Its calls may block on files: the settings run them on a worker thread.
#pragma once

#include <stdexcept>

namespace orlith {

class LoginItem {
 public:
  virtual ~LoginItem() = default;

  virtual int status() const = 0;
  // Each throws LoginItemError when the desktop refuses the change.
  virtual void registerItem() = 0;
  virtual void unregisterItem() = 0;
};

class LoginItemError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace orlith
