// Update manifest policy.
#include "update/trust/UpdateManifestPolicy.h"

#include <glib.h>

#include <charconv>
#include <memory>

#include "update/trust/UpdateWire.h"

namespace orlith {
namespace {

struct UriUnref {
  void operator()(GUri* uri) const { g_uri_unref(uri); }
};

std::optional<std::int64_t> versionPiece(std::string_view piece) {
  if (piece.empty() || (piece.size() > 1 && piece.front() == '0')) {
    return std::nullopt;
  }
  for (const char c : piece) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
  }
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
  if (error != std::errc() || end != piece.data() + piece.size()) {
    return std::nullopt;
  }
  return value;
}

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

}  // namespace

std::optional<UpdateManifestPolicy::VersionComponents> UpdateManifestPolicy::versionComponents(
    std::string_view version) {
  VersionComponents components{};
  std::size_t index = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = version.find('.', start);
    const std::string_view piece = version.substr(start, dot - start);
    if (index == components.size()) {
      return std::nullopt;
    }
    const auto value = versionPiece(piece);
    if (!value) {
      return std::nullopt;
    }
    components[index++] = *value;
    if (dot == std::string_view::npos) {
      break;
    }
    start = dot + 1;
  }
  if (index != components.size()) {
    return std::nullopt;
  }
  return components;
}

std::optional<int> UpdateManifestPolicy::compareVersions(std::string_view lhs,
                                                         std::string_view rhs) {
  const auto left = versionComponents(lhs);
  const auto right = versionComponents(rhs);
  if (!left || !right) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < left->size(); ++i) {
    if ((*left)[i] != (*right)[i]) {
      return (*left)[i] < (*right)[i] ? -1 : 1;
    }
  }
  return 0;
}

bool UpdateManifestPolicy::isValid(const DesktopUpdateManifest& manifest,
                                   std::string_view architecture) {
  if (manifest.ok != true) {
    return false;
  }
  if (manifest.platform != update_wire::kPlatform) {
    return false;
  }
  if (!manifest.arch ||
      (*manifest.arch != architecture && *manifest.arch != update_wire::kArchitectureUniversal)) {
    return false;
  }
  if (!manifest.version || !versionComponents(*manifest.version)) {
    return false;
  }
  if (manifest.minimumVersion && !manifest.minimumVersion->empty()) {
    const auto order = compareVersions(*manifest.minimumVersion, *manifest.version);
    if (!order || *order > 0) {
      return false;
    }
  }
  return true;
}

std::optional<Url> UpdateManifestPolicy::trustedDownloadURL(std::string_view text,
                                                            const UpdateTrustedHosts& hosts) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      return std::nullopt;
    }
  }
  // GUri decodes escapes in the host, so "orlith%2Eexample" would compare as a trusted host
  // while the downloader sees another name: no escape in the authority at all.
  const std::size_t authority = text.find("://");
  if (authority == std::string_view::npos) {
    return std::nullopt;
  }
  const std::string_view rest = text.substr(authority + 3);
  if (rest.substr(0, rest.find_first_of("/?#")).find('%') != std::string_view::npos) {
    return std::nullopt;
  }
  const std::string owned(text);
  std::unique_ptr<GUri, UriUnref> uri(g_uri_parse(owned.c_str(), G_URI_FLAGS_ENCODED, nullptr));
  if (!uri) {
    return std::nullopt;
  }
  const char* scheme = g_uri_get_scheme(uri.get());
  const char* host = g_uri_get_host(uri.get());
  if (scheme == nullptr || std::string_view(scheme) != "https" || host == nullptr) {
    return std::nullopt;
  }
  const std::string lowerHost = lowerAscii(host);
  if (lowerHost != hosts.host && lowerHost != hosts.wwwHost) {
    return std::nullopt;
  }
  const int port = g_uri_get_port(uri.get());
  const bool localOriginPort =
      hosts.localOriginPort && port == *hosts.localOriginPort && lowerHost == hosts.host;
  if (port != -1 && port != 443 && !localOriginPort) {
    return std::nullopt;
  }
  if (g_uri_get_userinfo(uri.get()) != nullptr || g_uri_get_fragment(uri.get()) != nullptr) {
    return std::nullopt;
  }
  // The project's URL type must accept it too; it keeps the text as written.
  return Url::parse(owned);
}

std::optional<Url> UpdateManifestPolicy::trustedDownloadURL(std::string_view text) {
  return trustedDownloadURL(text, UpdateTrustedHosts::ofBuild());
}

std::optional<std::string> UpdateManifestPolicy::pathExtension(std::string_view url) {
  const auto parsed = Url::parse(url);
  if (!parsed) {
    return std::nullopt;
  }
  const std::string path = parsed->path();
  const std::string last = path.substr(path.find_last_of('/') + 1);
  const std::size_t dot = last.find_last_of('.');
  if (dot == std::string::npos || dot == 0) {
    return std::nullopt;
  }
  return last.substr(dot + 1);
}

}  // namespace orlith
