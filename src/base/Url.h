// Url: the one strict, immutable value type for every URL in the system. It keeps apart what
// checks must tell apart (no query vs empty query, no port vs an explicit default port, ...).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlith {

class Url {
 public:
  // One name[=value] pair of the query, percent-decoded; "+" stays "+".
  struct QueryItem {
    std::string name;
    std::optional<std::string> value;  // nullopt for "name" without "=", "" for "name="
    friend bool operator==(const QueryItem&, const QueryItem&) = default;
  };

  // Decoded parts to compose a URL from; build() percent-encodes them.
  struct Components {
    std::string scheme{};
    std::optional<std::string> user{};
    std::optional<std::string> password{};
    std::optional<std::string> host{};  // IPv6 without brackets
    std::optional<int> port{};
    std::string path{};  // "/" separates segments; every other reserved character is encoded
    std::optional<std::vector<QueryItem>> queryItems{};
    std::optional<std::string> fragment{};
  };

  // Absolute URLs only, RFC 3986 strictly: nullopt for relative references, characters outside
  // the grammar (spaces, controls, "[" in a path, "#" in a fragment, ...), bad percent-escapes,
  // ports above 65535, IPv6 zone identifiers, and http(s)/ws(s) URLs without a host. The one
  // leniency: a host may be written in UTF-8 (or percent-encoded UTF-8) if it converts to an
  // IDNA ASCII name, as GLib accepts it.
  static std::optional<Url> parse(std::string_view text);
  static std::optional<Url> build(const Components& components);

  // RFC 3986 section 5 reference resolution against this URL; the reference must be valid
  // and so must the result.
  std::optional<Url> resolve(std::string_view reference) const;

  // The text exactly as parsed or built.
  const std::string& absoluteString() const { return text_; }
  // Lower-cased.
  const std::string& scheme() const { return scheme_; }
  bool isHttpOrHttps() const;

  // Present as soon as the URL has a userinfo part, even an empty one ("https://@h/").
  std::optional<std::string> user() const;
  std::optional<std::string> password() const;
  bool hasCredentials() const { return userinfo_.has_value(); }

  // Percent-decoded, case as written; an IPv6 literal comes without its brackets.
  const std::optional<std::string>& host() const { return host_; }
  // The form to compare hosts by: ASCII lower case, an IDN host in its "xn--" form.
  const std::optional<std::string>& lowercasedHost() const { return comparableHost_; }
  bool hostIsIpv6Literal() const { return hostIsIpv6_; }

  // The port as written (":443" gives 443, ":" and no port give nullopt).
  std::optional<int> port() const { return port_; }
  // The written port, else 80/443 for http/ws and https/wss; nullopt for other schemes.
  std::optional<int> effectivePort() const;

  // The path exactly as written: no dot segment removed, no escape decoded.
  const std::string& encodedPath() const { return path_; }
  // The path percent-decoded (so "%2F" becomes "/": use pathSegments() to tell them apart).
  std::string path() const;
  // The encoded path split at each "/" (the leading "/" of an absolute path starts no segment),
  // then each segment decoded: "/a%2Fb/" gives {"a/b", ""}.
  std::vector<std::string> pathSegments() const;
  // True if a segment is "." or ".." (also when written as "%2E") or holds an encoded slash or
  // backslash: paths a server may resolve to somewhere else than they look.
  bool hasAmbiguousPathSegment() const;

  // The raw query without "?"; "" for "https://h/?".
  const std::optional<std::string>& query() const { return query_; }
  // The query split at "&" then at the first "=", in order, duplicates kept.
  std::vector<QueryItem> queryItems() const;

  const std::optional<std::string>& encodedFragment() const { return fragment_; }
  std::optional<std::string> fragment() const;

  // "scheme://host[:port]" with the host as written (brackets put back around IPv6) and the
  // port only if written; nullopt without a host.
  std::optional<std::string> origin() const;
  // Scheme, host and port of this URL, to build a sibling URL on the same origin.
  Components originComponents() const;

  friend bool operator==(const Url& a, const Url& b) { return a.text_ == b.text_; }

 private:
  Url() = default;

  std::string text_;
  std::string scheme_;
  std::optional<std::string> userinfo_;   // raw
  std::optional<std::string> authority_;  // raw
  std::optional<std::string> host_;
  std::optional<std::string> comparableHost_;
  bool hostIsIpv6_ = false;
  std::optional<int> port_;
  std::string path_;
  std::optional<std::string> query_;
  std::optional<std::string> fragment_;
};

}  // namespace orlith
