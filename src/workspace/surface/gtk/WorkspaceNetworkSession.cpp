// Builds the network session the tabs share and pins the stand-in's certificate in local builds.
#include "workspace/surface/gtk/WorkspaceNetworkSession.h"

#include <sys/stat.h>
#include <unistd.h>

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

// Earlier versions kept the jar, the session cookie in it, among the lasting website data.
void removeLegacyCookieJar(const std::filesystem::path& dataDirectory) {
  const std::string jar = (dataDirectory / WorkspaceNetworkSession::kCookieJarName).string();
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    std::error_code ignored;
    std::filesystem::remove(jar + suffix, ignored);
  }
}

}  // namespace

std::optional<std::filesystem::path> WorkspaceNetworkSession::cookieJarPath(
    const std::filesystem::path& runtimeDirectory) {
  struct stat status {};
  if (runtimeDirectory.empty() || !runtimeDirectory.is_absolute() ||
      lstat(runtimeDirectory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
      status.st_uid != geteuid() || (status.st_mode & 07777) != 0700)
    return std::nullopt;
  return runtimeDirectory / "orlith" / "web" / kCookieJarName;
}

WorkspaceNetworkSession::WorkspaceNetworkSession(const Configuration& configuration) {
  makePrivateDirectory(configuration.dataDirectory);
  makePrivateDirectory(configuration.cacheDirectory);
  removeLegacyCookieJar(configuration.dataDirectory);
  session_ = adoptObject(webkit_network_session_new(configuration.dataDirectory.c_str(),
                                                    configuration.cacheDirectory.c_str()));
  webkit_network_session_set_tls_errors_policy(session_.get(), WEBKIT_TLS_ERRORS_POLICY_FAIL);
  // Without a file the cookie manager keeps cookies in memory; the session store installs the
  // session cookie from the keyring before a tab's first load either way.
  if (auto jar = cookieJarPath(configuration.runtimeDirectory)) {
    std::error_code failed;
    std::filesystem::create_directories(jar->parent_path(), failed);
    if (!failed) {
      webkit_cookie_manager_set_persistent_storage(
          webkit_network_session_get_cookie_manager(session_.get()), jar->c_str(),
          WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
    }
  }
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
    // Not g_get_user_runtime_dir(): without the variable it falls back to the cache folder, which
    // is on disk.
    if (const char* runtime = g_getenv("XDG_RUNTIME_DIR"))
      configuration.runtimeDirectory = runtime;
    if (build::kOriginIsLocal) {
      configuration.pinnedCertificate = build::kDevCertificatePath;
      configuration.pinnedHosts = {"127.0.0.1", "localhost"};
    }
    return configuration;
  }());
  return session;
}

}  // namespace orlith
