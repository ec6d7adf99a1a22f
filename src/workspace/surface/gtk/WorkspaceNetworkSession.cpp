// Builds the network session the tabs share and pins the stand-in's certificate in local builds.
#include "workspace/surface/gtk/WorkspaceNetworkSession.h"

#include <system_error>

#include "OrlithBuildConfig.h"
#include "workspace/surface/gtk/WebProcessExtensions.h"

namespace orlith {

namespace {

void makePrivateDirectory(const std::filesystem::path& path) {
  std::filesystem::create_directories(path);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace);
}

}  // namespace

WorkspaceNetworkSession::WorkspaceNetworkSession(const Configuration& configuration) {
  makePrivateDirectory(configuration.dataDirectory);
  makePrivateDirectory(configuration.cacheDirectory);
  session_ = adoptObject(webkit_network_session_new(configuration.dataDirectory.c_str(),
                                                    configuration.cacheDirectory.c_str()));
  webkit_network_session_set_tls_errors_policy(session_.get(), WEBKIT_TLS_ERRORS_POLICY_FAIL);
  // The cookie manager keeps cookies in memory only unless it is given a file; the session
  // cookie must outlive the process like the rest of the web data.
  const auto cookieFile = configuration.dataDirectory / "cookies.sqlite";
  webkit_cookie_manager_set_persistent_storage(
      webkit_network_session_get_cookie_manager(session_.get()), cookieFile.c_str(),
      WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  if (configuration.pinnedCertificate.empty())
    return;

  GError* rawError = nullptr;
  auto certificate = adoptObject(
      g_tls_certificate_new_from_file(configuration.pinnedCertificate.c_str(), &rawError));
  GErrorPtr error(rawError);
  if (!certificate) {
    throw std::system_error(std::make_error_code(std::errc::io_error),
                            "Cannot read the development certificate: " +
                                std::string(error ? error->message : "unknown error"));
  }
  for (const auto& host : configuration.pinnedHosts) {
    webkit_network_session_allow_tls_certificate_for_host(session_.get(), certificate.get(),
                                                          host.c_str());
  }
}

void WorkspaceNetworkSession::warmUp(const std::string& host) {
  // Any request to the network process starts it; resolving the service's host is one the
  // first load makes anyway.
  webkit_network_session_prefetch_dns(session_.get(), host.c_str());
}

void WorkspaceNetworkSession::prewarmWebProcess() {
  if (warmView_)
    return;
  // The process loads the extension when it starts: it must be known before.
  WebProcessExtensions::installFromBundle();
  warmView_ = retainObject(WEBKIT_WEB_VIEW(
      g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session_.get(), nullptr)));
  // A view starts its process only when it first loads something.
  webkit_web_view_load_uri(warmView_.get(), "about:blank");
}

void WorkspaceNetworkSession::releaseWarmView() {
  warmView_ = nullptr;
}

WorkspaceNetworkSession& WorkspaceNetworkSession::shared() {
  static WorkspaceNetworkSession session([] {
    Configuration configuration;
    configuration.dataDirectory = std::filesystem::path(g_get_user_data_dir()) / "orlith" / "web";
    configuration.cacheDirectory = std::filesystem::path(g_get_user_cache_dir()) / "orlith" / "web";
    if (build::kOriginIsLocal) {
      configuration.pinnedCertificate = build::kDevCertificatePath;
      configuration.pinnedHosts = {"127.0.0.1", "localhost"};
    }
    return configuration;
  }());
  return session;
}

}  // namespace orlith
