// The web views' shared network session: one persistent cookie and data store for every tab.
#pragma once

#include <webkit/webkit.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/glib/GObjectPtr.h"

namespace orlith {

class WorkspaceNetworkSession {
 public:
  struct Configuration {
    std::filesystem::path dataDirectory;
    std::filesystem::path cacheDirectory;
    // A certificate the session accepts for exactly these hosts; empty for none.
    std::filesystem::path pinnedCertificate;
    std::vector<std::string> pinnedHosts;
  };

  explicit WorkspaceNetworkSession(const Configuration& configuration);

  // The session of this program: XDG data and cache folders, and the development certificate
  // for a build whose service origin is local.
  static WorkspaceNetworkSession& shared();

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
