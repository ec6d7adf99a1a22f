// The web views' shared network session: one data store for every tab. Website data persists in
// the XDG data and cache folders; cookies, the session cookie among them, never go there: the jar
// lives in the user's private runtime folder (memory-backed, gone at logout) or, without one, in
// memory only. The keyring keeps the one lasting copy of the session.
#pragma once

#include <webkit/webkit.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/glib/GObjectPtr.h"

namespace orlith {

class WorkspaceNetworkSession {
 public:
  struct Configuration {
    std::filesystem::path dataDirectory;
    std::filesystem::path cacheDirectory;
    // The user's runtime folder, for the cookie jar; empty or not private keeps cookies in memory.
    std::filesystem::path runtimeDirectory;
    // A certificate the session accepts for exactly these hosts; empty for none.
    std::filesystem::path pinnedCertificate;
    std::vector<std::string> pinnedHosts;
  };

  explicit WorkspaceNetworkSession(const Configuration& configuration);

  // The session of this program: XDG data, cache and runtime folders, and the development
  // certificate for a build whose service origin is local.
  static WorkspaceNetworkSession& shared();

  // Where the cookie jar goes under `runtimeDirectory`: only a real folder of this user that no
  // one else may enter (mode 0700), as the runtime folder must be; nothing otherwise.
  static std::optional<std::filesystem::path> cookieJarPath(
      const std::filesystem::path& runtimeDirectory);
  // The jar's file name, here and where earlier versions kept it in the data folder.
  static constexpr const char* kCookieJarName = "cookies.sqlite";

  // Starts the network process now rather than at the first cookie call or load.
  void warmUp(const std::string& host);

  // Starts the tabs' web process now, in a view that shows nothing, so it is up by the time the
  // first tab loads; the first tab's view is made related to it. Idempotent.
  void prewarmWebProcess();
  // The view that holds the prewarmed process, while it is held; nothing otherwise.
  WebKitWebView* warmView() const { return warmView_.get(); }
  // Lets the prewarmed view go: once a tab's view shares its process, or when no workspace will
  // be shown (the process then ends with it).
  void releaseWarmView();

  WebKitNetworkSession* get() const { return session_.get(); }

 private:
  GObjectPtr<WebKitNetworkSession> session_;
  GObjectPtr<WebKitWebView> warmView_;
};

}  // namespace orlith
