// Tests for Url: what parsing keeps apart, what it refuses, resolution and building.
#include "base/Url.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace orlith {
namespace {

using Items = std::vector<Url::QueryItem>;
using Segments = std::vector<std::string>;

struct ParseCase {
  const char* name;
  std::string text;
  // Null: the text must be refused.
  std::function<void(const Url&)> check;
};

std::ostream& operator<<(std::ostream& os, const ParseCase& c) {
  return os << c.name;
}

const ParseCase kParseCases[] = {
    {"NoQueryIsNotAnEmptyQuery", "https://h/a",
     [](const Url& u) {
       EXPECT_EQ(u.query(), std::nullopt);
       EXPECT_EQ(u.fragment(), std::nullopt);
       EXPECT_EQ(u.port(), std::nullopt);
       EXPECT_FALSE(u.hasCredentials());
     }},
    {"EmptyQueryIsKept", "https://h/a?",
     [](const Url& u) {
       EXPECT_EQ(u.query(), "");
       EXPECT_EQ(u.queryItems(), Items{});
       EXPECT_EQ(u.fragment(), std::nullopt);
     }},
    {"EmptyFragmentIsKept", "https://h/a#",
     [](const Url& u) {
       EXPECT_EQ(u.fragment(), "");
       EXPECT_EQ(u.query(), std::nullopt);
     }},
    {"ExplicitDefaultPortIsKept", "https://h:443/",
     [](const Url& u) {
       EXPECT_EQ(u.port(), 443);
       EXPECT_EQ(u.origin(), "https://h:443");
     }},
    {"AbsentPortHasSchemeDefaultAsEffectivePort", "http://h/",
     [](const Url& u) {
       EXPECT_EQ(u.port(), std::nullopt);
       EXPECT_EQ(u.effectivePort(), 80);
     }},
    {"EmptyPortIsNoPort", "https://h:/", [](const Url& u) { EXPECT_EQ(u.port(), std::nullopt); }},
    {"UserAndPasswordAreDetected", "https://us%40r:p%3Ass@h/",
     [](const Url& u) {
       EXPECT_TRUE(u.hasCredentials());
       EXPECT_EQ(u.user(), "us@r");
       EXPECT_EQ(u.password(), "p:ss");
       EXPECT_EQ(u.host(), "h");
     }},
    {"EmptyUserinfoStillCountsAsCredentials", "https://@h/",
     [](const Url& u) {
       EXPECT_TRUE(u.hasCredentials());
       EXPECT_EQ(u.user(), "");
       EXPECT_EQ(u.password(), std::nullopt);
     }},
    {"PathIsDecodedButEncodedPathIsAsWritten", "https://h/a%20b/%2f%41",
     [](const Url& u) {
       EXPECT_EQ(u.encodedPath(), "/a%20b/%2f%41");
       EXPECT_EQ(u.path(), "/a b//A");
       EXPECT_EQ(u.pathSegments(), (Segments{"a b", "/A"}));
       EXPECT_TRUE(u.hasAmbiguousPathSegment());
     }},
    {"EncodedSlashBeforeDotDotIsNotNormalised", "https://h/app/%2F..",
     [](const Url& u) {
       EXPECT_EQ(u.encodedPath(), "/app/%2F..");
       EXPECT_EQ(u.pathSegments(), (Segments{"app", "/.."}));
       EXPECT_TRUE(u.hasAmbiguousPathSegment());
     }},
    {"DotDotSegmentIsNotRemoved", "https://h/app/../x",
     [](const Url& u) {
       EXPECT_EQ(u.encodedPath(), "/app/../x");
       EXPECT_TRUE(u.hasAmbiguousPathSegment());
     }},
    {"DotSegmentIsNotRemoved", "https://h/app/./x",
     [](const Url& u) {
       EXPECT_EQ(u.pathSegments(), (Segments{"app", ".", "x"}));
       EXPECT_TRUE(u.hasAmbiguousPathSegment());
     }},
    {"EncodedDotDotIsAmbiguous", "https://h/app/%2e%2E/x",
     [](const Url& u) { EXPECT_TRUE(u.hasAmbiguousPathSegment()); }},
    {"EncodedBackslashIsAmbiguous", "https://h/app/..%5Cx",
     [](const Url& u) { EXPECT_TRUE(u.hasAmbiguousPathSegment()); }},
    {"DotsInsideNamesAreNotAmbiguous", "https://h/app/.well-known/a..b/",
     [](const Url& u) {
       EXPECT_EQ(u.pathSegments(), (Segments{"app", ".well-known", "a..b", ""}));
       EXPECT_FALSE(u.hasAmbiguousPathSegment());
     }},
    {"QueryItemsKeepPlusOrderDuplicatesAndValueAbsence", "https://h/?a=1+2&b&a=%2B&c=&=x&&d=e=f",
     [](const Url& u) {
       EXPECT_EQ(u.query(), "a=1+2&b&a=%2B&c=&=x&&d=e=f");
       EXPECT_EQ(u.queryItems(), (Items{{"a", "1+2"},
                                        {"b", std::nullopt},
                                        {"a", "+"},
                                        {"c", ""},
                                        {"", "x"},
                                        {"", std::nullopt},
                                        {"d", "e=f"}}));
     }},
    {"SchemeIsLowerCasedHostKeepsItsCase", "HTTPS://Example.COM/",
     [](const Url& u) {
       EXPECT_EQ(u.scheme(), "https");
       EXPECT_EQ(u.host(), "Example.COM");
       EXPECT_EQ(u.lowercasedHost(), "example.com");
       EXPECT_EQ(u.origin(), "https://Example.COM");
       EXPECT_TRUE(u.isHttpOrHttps());
     }},
    {"Ipv6HostComesWithoutBracketsAndOriginPutsThemBack", "https://[::1]:8443/x",
     [](const Url& u) {
       EXPECT_EQ(u.host(), "::1");
       EXPECT_TRUE(u.hostIsIpv6Literal());
       EXPECT_EQ(u.port(), 8443);
       EXPECT_EQ(u.origin(), "https://[::1]:8443");
     }},
    {"IdnHostIsComparedInAsciiForm",
     "https://B\xC3\xBC"
     "cher.de/",
     [](const Url& u) {
       EXPECT_EQ(u.host(),
                 "B\xC3\xBC"
                 "cher.de");
       EXPECT_EQ(u.lowercasedHost(), "xn--bcher-kva.de");
     }},
    {"DeepLink", "orlith://auth/callback?x=y",
     [](const Url& u) {
       EXPECT_EQ(u.host(), "auth");
       EXPECT_EQ(u.encodedPath(), "/callback");
       EXPECT_EQ(u.queryItems(), (Items{{"x", "y"}}));
       EXPECT_FALSE(u.isHttpOrHttps());
       EXPECT_EQ(u.effectivePort(), std::nullopt);
     }},
    {"MailtoHasPathButNoHost", "mailto:a@b",
     [](const Url& u) {
       EXPECT_EQ(u.host(), std::nullopt);
       EXPECT_EQ(u.encodedPath(), "a@b");
       EXPECT_EQ(u.origin(), std::nullopt);
     }},
    {"AboutBlank", "about:blank", [](const Url& u) { EXPECT_EQ(u.path(), "blank"); }},
    {"DataUrl",
     "data:text/plain;base64,SGk+Lw==", [](const Url& u) { EXPECT_EQ(u.scheme(), "data"); }},
    {"BlobUrl", "blob:https://h/0b5e",
     [](const Url& u) { EXPECT_EQ(u.encodedPath(), "https://h/0b5e"); }},
    {"FileUrlMayHaveEmptyHost", "file:///etc/hosts", [](const Url& u) { EXPECT_EQ(u.host(), ""); }},
    {"EmptyIsRefused", "", nullptr},
    {"NoSchemeIsRefused", "no-scheme", nullptr},
    {"RelativeReferenceIsRefused", "/app/x", nullptr},
    {"NetworkPathReferenceIsRefused", "//h/x", nullptr},
    {"SchemeStartingWithDigitIsRefused", "1abc:x", nullptr},
    {"HttpsWithoutHostIsRefused", "https://", nullptr},
    {"HttpsWithoutAuthorityIsRefused", "https:h/x", nullptr},
    {"HttpsWithEmptyHostIsRefused", "https:///x", nullptr},
    {"SpaceInHostIsRefused", "http://exa mple.com", nullptr},
    {"SpaceInPathIsRefused", "https://h/a b", nullptr},
    {"TabIsRefused", "https://h/a\tb", nullptr},
    {"NulIsRefused", std::string("https://h/a\0b", 13), nullptr},
    {"NonAsciiPathIsRefused", "https://h/\xC3\xA4", nullptr},
    {"InvalidPercentEscapeIsRefused", "https://h/%zz", nullptr},
    {"TruncatedPercentEscapeIsRefused", "https://h/%4", nullptr},
    {"InvalidEscapeInQueryIsRefused", "https://h/?q=%GG", nullptr},
    {"InvalidEscapeInFragmentIsRefused", "https://h/#%zz", nullptr},
    {"SecondHashIsRefused", "https://h/#a#b", nullptr},
    {"BracketInPathIsRefused", "https://h/[x]", nullptr},
    {"AtSignInHostIsRefused", "https://a@b@c/", nullptr},
    {"EncodedSlashInHostIsRefused", "https://h%2Fx/", nullptr},
    // Only GLib objects here (an escaped IP address), which the cross-check turns into a refusal.
    {"PercentEncodedIpAddressIsRefused", "https://%31.2.3.4/", nullptr},
    {"PortAboveRangeIsRefused", "https://h:65536/", nullptr},
    {"NonNumericPortIsRefused", "https://h:44a/", nullptr},
    {"UnclosedIpv6IsRefused", "https://[::1/", nullptr},
    {"Ipv4InBracketsIsRefused", "https://[127.0.0.1]/", nullptr},
    {"Ipv6ZoneIsRefused", "https://[fe80::1%25eth0]/", nullptr},
};

class UrlParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(UrlParseTest, ParsesStrictlyAndKeepsTheTextAsWritten) {
  const ParseCase& c = GetParam();
  const auto url = Url::parse(c.text);
  if (!c.check) {
    EXPECT_EQ(url, std::nullopt) << url->absoluteString();
    return;
  }
  ASSERT_NE(url, std::nullopt);
  EXPECT_EQ(url->absoluteString(), c.text);
  EXPECT_EQ(Url::parse(url->absoluteString()), url);
  c.check(*url);
}

INSTANTIATE_TEST_SUITE_P(Cases, UrlParseTest, testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UrlTest, ResolvesReferencesAsRfc3986Says) {
  const auto base = Url::parse("https://h:8443/app/b/c?q#f");
  ASSERT_NE(base, std::nullopt);
  const std::pair<const char*, const char*> cases[] = {
      {"d", "https://h:8443/app/b/d"},
      {"../d?x=1", "https://h:8443/app/d?x=1"},
      {"/api/x", "https://h:8443/api/x"},
      {"?y", "https://h:8443/app/b/c?y"},
      {"#g", "https://h:8443/app/b/c?q#g"},
      {"", "https://h:8443/app/b/c?q"},
      {"//other/z", "https://other/z"},
      {"../../../../g", "https://h:8443/g"},
      {"%2F../d", "https://h:8443/app/b/%2F../d"},
      {"orlith://auth/callback", "orlith://auth/callback"},
  };
  for (const auto& [reference, expected] : cases) {
    const auto resolved = base->resolve(reference);
    ASSERT_NE(resolved, std::nullopt) << reference;
    EXPECT_EQ(resolved->absoluteString(), expected) << reference;
  }
  for (const char* bad : {"a b", "%zz", "1x:y", "//exa mple/"}) {
    EXPECT_EQ(base->resolve(bad), std::nullopt) << bad;
  }
}

TEST(UrlTest, BuilderEncodesReservedCharactersInEveryPart) {
  const auto origin = Url::parse("https://[::1]:47800");
  ASSERT_NE(origin, std::nullopt);
  Url::Components components = origin->originComponents();
  components.path = "/api/desktop/a b?#%/latest";
  components.queryItems = Items{
      {"platform", "mac os"}, {"version", "1.0+beta&x=y#z%"}, {"flag", std::nullopt}, {"a=b", ""}};
  const auto url = Url::build(components);
  ASSERT_NE(url, std::nullopt);
  EXPECT_EQ(url->absoluteString(),
            "https://[::1]:47800/api/desktop/a%20b%3F%23%25/latest"
            "?platform=mac%20os&version=1.0%2Bbeta%26x%3Dy%23z%25&flag&a%3Db=");
  EXPECT_EQ(url->queryItems(), *components.queryItems);
  EXPECT_EQ(url->path(), components.path);

  const auto withUser = Url::build({.scheme = "HTTPS",
                                    .user = "a:b@c",
                                    .password = "p/w",
                                    .host = "h",
                                    .path = "",
                                    .fragment = "x#y"});
  ASSERT_NE(withUser, std::nullopt);
  EXPECT_EQ(withUser->absoluteString(), "https://a%3Ab%40c:p%2Fw@h#x%23y");
  EXPECT_EQ(withUser->user(), "a:b@c");
  EXPECT_EQ(withUser->password(), "p/w");
}

TEST(UrlTest, BuilderRefusesPartsThatCannotFormAUrl) {
  const Url::Components refused[] = {
      {.scheme = "1x", .host = "h"},
      {.scheme = "https", .host = "h", .path = "relative"},
      {.scheme = "https", .host = "h", .port = 70000},
      {.scheme = "https", .host = ""},
      {.scheme = "https", .host = "fe80::zz"},
      {.scheme = "mailto", .path = "//not-a-host"},
      {.scheme = "mailto", .port = 25, .path = "a@b"},
  };
  for (const auto& components : refused) {
    EXPECT_EQ(Url::build(components), std::nullopt)
        << components.scheme << " " << components.host.value_or("-") << " " << components.path;
  }
}

}  // namespace
}  // namespace orlith
