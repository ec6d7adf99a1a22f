// The port through which logic opens an address with the desktop's default handler (a web
// page in the browser, a file in its application).
#pragma once

#include <string>

namespace orlith {

class UriOpener {
 public:
  virtual ~UriOpener() = default;
  // True when a handler was started for `uri`; false when none exists or it failed to start.
  virtual bool open(const std::string& uri) = 0;
};

}  // namespace orlith
