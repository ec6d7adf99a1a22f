// Url: a strict RFC 3986 reading of the text, cross-checked with GLib's GUri, that keeps every
// component exactly as written.
#include "base/Url.h"

#include <glib.h>

#include <memory>

namespace orlith {
namespace {

// g_uri_parse removes dot segments and GUri's splitter rewrites escapes ("%41" to "A") and
// accepts spaces, "[" in paths and "@" in hosts, so the components come from our own reading
// of the grammar below and GUri only has to agree with it.

bool isAlpha(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool isHex(unsigned char c) {
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool isUnreserved(unsigned char c) {
  return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}
bool isSubDelim(unsigned char c) {
  return std::string_view("!$&'()*+,;=").find(static_cast<char>(c)) != std::string_view::npos;
}
bool isUserinfoChar(unsigned char c) {
  return isUnreserved(c) || isSubDelim(c) || c == ':';
}
bool isRegNameChar(unsigned char c) {
  return isUnreserved(c) || isSubDelim(c);
}
bool isPchar(unsigned char c) {
  return isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@';
}
bool isPathChar(unsigned char c) {
  return isPchar(c) || c == '/';
}
bool isQueryChar(unsigned char c) {
  return isPchar(c) || c == '/' || c == '?';
}
bool isQueryItemChar(unsigned char c) {
  return isUnreserved(c);
}
bool isHostByte(unsigned char c) {
  return isRegNameChar(c) || c >= 0x80;
}

int hexValue(char c) {
  if (isDigit(c)) {
    return c - '0';
  }
  return (c | 0x20) - 'a' + 10;
}

// True if every byte is allowed or part of a well-formed "%XX" escape.
template <typename Allowed>
bool isEncodedWith(std::string_view text, Allowed allowed) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '%') {
      if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) {
        return false;
      }
      i += 2;
    } else if (!allowed(c)) {
      return false;
    }
  }
  return true;
}

// Only for text that passed isEncodedWith.
std::string percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%') {
      out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

template <typename Keep>
void appendEncoded(std::string& out, std::string_view text, Keep keep) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (keep(c)) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHexDigits[c >> 4]);
      out.push_back(kHexDigits[c & 0x0F]);
    }
  }
}

std::string asciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    c = g_ascii_tolower(c);
  }
  return out;
}

bool isValidScheme(std::string_view scheme) {
  if (scheme.empty() || !isAlpha(scheme.front())) {
    return false;
  }
  for (const char ch : scheme) {
    const auto c = static_cast<unsigned char>(ch);
    if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  return true;
}

bool requiresHost(std::string_view scheme) {
  return scheme == "http" || scheme == "https" || scheme == "ws" || scheme == "wss";
}

// The raw pieces of a URI reference (RFC 3986 appendix B), each validated against its grammar.
struct Reference {
  std::optional<std::string_view> scheme;
  std::optional<std::string_view> authority;
  std::string_view path;
  std::optional<std::string_view> query;
  std::optional<std::string_view> fragment;
};

std::optional<Reference> splitReference(std::string_view text) {
  Reference ref;
  std::string_view rest = text;
  const size_t firstDelimiter = text.find_first_of(":/?#");
  // A ':' before any '/', '?' or '#' must end a scheme: a relative path may not hold one there.
  if (firstDelimiter != std::string_view::npos && text[firstDelimiter] == ':') {
    if (!isValidScheme(text.substr(0, firstDelimiter))) {
      return std::nullopt;
    }
    ref.scheme = text.substr(0, firstDelimiter);
    rest = text.substr(firstDelimiter + 1);
  }
  if (rest.starts_with("//")) {
    const size_t end = rest.find_first_of("/?#", 2);
    ref.authority =
        rest.substr(2, end == std::string_view::npos ? std::string_view::npos : end - 2);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  }
  const size_t pathEnd = rest.find_first_of("?#");
  ref.path = rest.substr(0, pathEnd);
  rest = pathEnd == std::string_view::npos ? std::string_view() : rest.substr(pathEnd);
  if (rest.starts_with('?')) {
    const size_t hash = rest.find('#');
    ref.query = rest.substr(1, hash == std::string_view::npos ? std::string_view::npos : hash - 1);
    rest = hash == std::string_view::npos ? std::string_view() : rest.substr(hash);
  }
  if (rest.starts_with('#')) {
    ref.fragment = rest.substr(1);
  }
  if (!isEncodedWith(ref.path, isPathChar) ||
      (ref.query && !isEncodedWith(*ref.query, isQueryChar)) ||
      (ref.fragment && !isEncodedWith(*ref.fragment, isQueryChar))) {
    return std::nullopt;
  }
  return ref;
}

struct Authority {
  std::optional<std::string_view> userinfo;
  std::string host;
  std::string comparableHost;
  bool ipv6 = false;
  std::optional<int> port;
};

std::optional<std::string> parseRegName(std::string_view text) {
  if (!isEncodedWith(text, isHostByte)) {
    return std::nullopt;
  }
  std::string host = percentDecode(text);
  if (!g_utf8_validate_len(host.data(), host.size(), nullptr)) {
    return std::nullopt;
  }
  for (const char ch : host) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x21 || c == 0x7F ||
        std::string_view("/?#[]@:%\\").find(ch) != std::string_view::npos) {
      return std::nullopt;
    }
  }
  return host;
}

std::optional<Authority> parseAuthority(std::string_view text) {
  Authority authority;
  if (const size_t at = text.rfind('@'); at != std::string_view::npos) {
    authority.userinfo = text.substr(0, at);
    if (!isEncodedWith(*authority.userinfo, isUserinfoChar)) {
      return std::nullopt;
    }
    text = text.substr(at + 1);
  }
  std::string_view portText;
  if (text.starts_with('[')) {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) {
      return std::nullopt;
    }
    // IPv6 only: no IPvFuture, no zone identifier (browsers refuse them as well).
    const std::string address(text.substr(1, close - 1));
    if (address.find(':') == std::string::npos ||
        address.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos ||
        !g_hostname_is_ip_address(address.c_str())) {
      return std::nullopt;
    }
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(':')) {
      return std::nullopt;
    }
    portText = rest.empty() ? rest : rest.substr(1);
    authority.host = address;
    authority.comparableHost = asciiLower(address);
    authority.ipv6 = true;
  } else {
    const size_t colon = text.find(':');
    auto host = parseRegName(text.substr(0, colon));
    if (!host) {
      return std::nullopt;
    }
    portText = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    if (g_hostname_is_non_ascii(host->c_str())) {
      const std::unique_ptr<gchar, decltype(&g_free)> ascii(g_hostname_to_ascii(host->c_str()),
                                                            &g_free);
      if (!ascii) {
        return std::nullopt;
      }
      authority.comparableHost = asciiLower(ascii.get());
    } else {
      authority.comparableHost = asciiLower(*host);
    }
    authority.host = std::move(*host);
  }
  if (!portText.empty()) {
    int port = 0;
    for (const char c : portText) {
      if (!isDigit(c)) {
        return std::nullopt;
      }
      port = port * 10 + (c - '0');
      if (port > 65535) {
        return std::nullopt;
      }
    }
    authority.port = port;
  }
  return authority;
}

// Two parsers that read one text differently are a classic way past a check, so a URL that
// GLib (and with it the rest of the platform) would split otherwise is refused.
bool glibReadsTheSame(const std::string& text, const Reference& ref, const Authority* authority) {
  gchar* host = nullptr;
  gchar* query = nullptr;
  gchar* fragment = nullptr;
  gint port = -1;
  const gboolean ok = g_uri_split_with_user(
      text.c_str(), static_cast<GUriFlags>(G_URI_FLAGS_ENCODED | G_URI_FLAGS_HAS_PASSWORD), nullptr,
      nullptr, nullptr, nullptr, &host, &port, nullptr, &query, &fragment, nullptr);
  const std::unique_ptr<gchar, decltype(&g_free)> hostOwner(host, &g_free);
  const std::unique_ptr<gchar, decltype(&g_free)> queryOwner(query, &g_free);
  const std::unique_ptr<gchar, decltype(&g_free)> fragmentOwner(fragment, &g_free);
  if (!ok) {
    return false;
  }
  const int expectedPort = authority && authority->port ? *authority->port : -1;
  return (host != nullptr) == ref.authority.has_value() && port == expectedPort &&
         (query != nullptr) == ref.query.has_value() &&
         (fragment != nullptr) == ref.fragment.has_value();
}

// RFC 3986 section 5.2.4.
std::string removeDotSegments(std::string_view path) {
  std::string in(path);
  std::string out;
  const auto dropLastSegment = [&out] {
    const size_t slash = out.rfind('/');
    out.erase(slash == std::string::npos ? 0 : slash);
  };
  while (!in.empty()) {
    if (in.starts_with("../")) {
      in.erase(0, 3);
    } else if (in.starts_with("./")) {
      in.erase(0, 2);
    } else if (in.starts_with("/./")) {
      in.replace(0, 3, "/");
    } else if (in == "/.") {
      in = "/";
    } else if (in.starts_with("/../")) {
      in.replace(0, 4, "/");
      dropLastSegment();
    } else if (in == "/..") {
      in = "/";
      dropLastSegment();
    } else if (in == "." || in == "..") {
      in.clear();
    } else {
      size_t end = in.find('/', in.front() == '/' ? 1 : 0);
      if (end == std::string::npos) {
        end = in.size();
      }
      out.append(in, 0, end);
      in.erase(0, end);
    }
  }
  return out;
}

std::vector<std::string_view> splitPath(std::string_view path) {
  std::vector<std::string_view> segments;
  if (path.empty()) {
    return segments;
  }
  if (path.front() == '/') {
    path.remove_prefix(1);
  }
  while (true) {
    const size_t slash = path.find('/');
    segments.push_back(path.substr(0, slash));
    if (slash == std::string_view::npos) {
      break;
    }
    path.remove_prefix(slash + 1);
  }
  return segments;
}

}  // namespace

std::optional<Url> Url::parse(std::string_view text) {
  const auto ref = splitReference(text);
  if (!ref || !ref->scheme) {
    return std::nullopt;
  }
  Url url;
  url.text_ = std::string(text);
  url.scheme_ = asciiLower(*ref->scheme);
  std::optional<Authority> authority;
  if (ref->authority) {
    authority = parseAuthority(*ref->authority);
    if (!authority) {
      return std::nullopt;
    }
  }
  if (requiresHost(url.scheme_) && (!authority || authority->host.empty())) {
    return std::nullopt;
  }
  if (!glibReadsTheSame(url.text_, *ref, authority ? &*authority : nullptr)) {
    return std::nullopt;
  }
  if (authority) {
    url.authority_ = std::string(*ref->authority);
    if (authority->userinfo) {
      url.userinfo_ = std::string(*authority->userinfo);
    }
    url.host_ = std::move(authority->host);
    url.comparableHost_ = std::move(authority->comparableHost);
    url.hostIsIpv6_ = authority->ipv6;
    url.port_ = authority->port;
  }
  url.path_ = std::string(ref->path);
  if (ref->query) {
    url.query_ = std::string(*ref->query);
  }
  if (ref->fragment) {
    url.fragment_ = std::string(*ref->fragment);
  }
  return url;
}

std::optional<Url> Url::build(const Components& components) {
  if (!isValidScheme(components.scheme)) {
    return std::nullopt;
  }
  std::string text = asciiLower(components.scheme) + ":";
  if (components.host) {
    text += "//";
    if (components.user || components.password) {
      appendEncoded(text, components.user.value_or(""), isRegNameChar);
      if (components.password) {
        text += ':';
        appendEncoded(text, *components.password, isRegNameChar);
      }
      text += '@';
    }
    if (components.host->find(':') != std::string::npos) {
      text += "[" + *components.host + "]";
    } else {
      appendEncoded(text, *components.host, isRegNameChar);
    }
    if (components.port) {
      text += ":" + std::to_string(*components.port);
    }
    if (!components.path.empty() && !components.path.starts_with('/')) {
      return std::nullopt;
    }
  } else if (components.user || components.password || components.port ||
             components.path.starts_with("//")) {
    return std::nullopt;
  }
  appendEncoded(text, components.path, isPathChar);
  if (components.queryItems) {
    text += '?';
    bool first = true;
    for (const QueryItem& item : *components.queryItems) {
      if (!first) {
        text += '&';
      }
      first = false;
      appendEncoded(text, item.name, isQueryItemChar);
      if (item.value) {
        text += '=';
        appendEncoded(text, *item.value, isQueryItemChar);
      }
    }
  }
  if (components.fragment) {
    text += '#';
    appendEncoded(text, *components.fragment, isQueryChar);
  }
  return parse(text);
}

std::optional<Url> Url::resolve(std::string_view reference) const {
  const auto ref = splitReference(reference);
  if (!ref) {
    return std::nullopt;
  }
  // RFC 3986 section 5.2.2, on the raw pieces so nothing else is rewritten.
  std::string scheme = scheme_;
  std::optional<std::string> authority = authority_;
  std::string path;
  std::optional<std::string_view> query = ref->query;
  if (ref->scheme) {
    scheme = asciiLower(*ref->scheme);
    authority = ref->authority ? std::optional<std::string>(*ref->authority) : std::nullopt;
    path = removeDotSegments(ref->path);
  } else if (ref->authority) {
    authority = std::string(*ref->authority);
    path = removeDotSegments(ref->path);
  } else if (ref->path.empty()) {
    path = path_;
    if (!query && query_) {
      query = *query_;
    }
  } else if (ref->path.starts_with('/')) {
    path = removeDotSegments(ref->path);
  } else {
    std::string merged;
    if (authority_ && path_.empty()) {
      merged = "/";
    } else if (const size_t slash = path_.rfind('/'); slash != std::string::npos) {
      merged = path_.substr(0, slash + 1);
    }
    merged += ref->path;
    path = removeDotSegments(merged);
  }
  std::string text = scheme + ":";
  if (authority) {
    text += "//" + *authority;
  }
  text += path;
  if (query) {
    text += "?" + std::string(*query);
  }
  if (ref->fragment) {
    text += "#" + std::string(*ref->fragment);
  }
  return parse(text);
}

bool Url::isHttpOrHttps() const {
  return scheme_ == "http" || scheme_ == "https";
}

std::optional<std::string> Url::user() const {
  if (!userinfo_) {
    return std::nullopt;
  }
  return percentDecode(std::string_view(*userinfo_).substr(0, userinfo_->find(':')));
}

std::optional<std::string> Url::password() const {
  if (!userinfo_) {
    return std::nullopt;
  }
  const size_t colon = userinfo_->find(':');
  if (colon == std::string::npos) {
    return std::nullopt;
  }
  return percentDecode(std::string_view(*userinfo_).substr(colon + 1));
}

std::optional<int> Url::effectivePort() const {
  if (port_) {
    return port_;
  }
  if (scheme_ == "http" || scheme_ == "ws") {
    return 80;
  }
  if (scheme_ == "https" || scheme_ == "wss") {
    return 443;
  }
  return std::nullopt;
}

std::string Url::path() const {
  return percentDecode(path_);
}

std::vector<std::string> Url::pathSegments() const {
  std::vector<std::string> segments;
  for (const std::string_view segment : splitPath(path_)) {
    segments.push_back(percentDecode(segment));
  }
  return segments;
}

bool Url::hasAmbiguousPathSegment() const {
  for (const std::string& segment : pathSegments()) {
    // A '/' or '\' in a decoded segment can only have come from an escape.
    if (segment == "." || segment == ".." || segment.find_first_of("/\\") != std::string::npos) {
      return true;
    }
  }
  return false;
}

std::vector<Url::QueryItem> Url::queryItems() const {
  std::vector<QueryItem> items;
  if (!query_ || query_->empty()) {
    return items;
  }
  std::string_view rest = *query_;
  while (true) {
    const size_t amp = rest.find('&');
    const std::string_view piece = rest.substr(0, amp);
    const size_t equals = piece.find('=');
    QueryItem item{percentDecode(piece.substr(0, equals)), std::nullopt};
    if (equals != std::string_view::npos) {
      item.value = percentDecode(piece.substr(equals + 1));
    }
    items.push_back(std::move(item));
    if (amp == std::string_view::npos) {
      break;
    }
    rest.remove_prefix(amp + 1);
  }
  return items;
}

std::optional<std::string> Url::fragment() const {
  if (!fragment_) {
    return std::nullopt;
  }
  return percentDecode(*fragment_);
}

std::optional<std::string> Url::origin() const {
  if (!host_ || host_->empty()) {
    return std::nullopt;
  }
  std::string origin = scheme_ + "://" + (hostIsIpv6_ ? "[" + *host_ + "]" : *host_);
  if (port_) {
    origin += ":" + std::to_string(*port_);
  }
  return origin;
}

Url::Components Url::originComponents() const {
  Components components;
  components.scheme = scheme_;
  components.host = host_;
  components.port = port_;
  return components;
}

}  // namespace orlith
