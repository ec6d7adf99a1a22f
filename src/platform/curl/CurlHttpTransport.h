// The HTTP transport on libcurl: one multi handle per session, driven from the GLib main loop;
// results are handed back through the main queue.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "session/HttpTransport.h"

namespace orlith {

// A development authority that a local-origin build trusts for its one host, and only there.
struct LocalTlsAuthority {
  std::string host;  // lower case
  std::string caFile;
};

class CurlHttpTransport final : public HttpTransport {
 public:
  // Without an authority every host is checked against the system store alone.
  explicit CurlHttpTransport(std::optional<LocalTlsAuthority> localAuthority = std::nullopt);

  std::unique_ptr<HttpSession> makeSession(const HttpSessionSettings& settings) override;

 private:
  std::optional<LocalTlsAuthority> localAuthority_;
};

}  // namespace orlith
