#include "signin/TermsNotice.h"

#include <glib.h>

#include <memory>

#include "base/Url.h"

namespace orlith {

namespace {

std::string escaped(std::string_view text) {
  std::unique_ptr<gchar, decltype(&g_free)> markup(
      g_markup_escape_text(text.data(), static_cast<gssize>(text.size())), &g_free);
  return markup.get();
}

bool isServiceLink(const std::optional<Url>& url, std::string_view host) {
  return url && url->scheme() == "https" && !url->hasCredentials() &&
         url->lowercasedHost().value_or("") == host;
}

}  // namespace

std::string termsNoticeMarkup(std::string_view markdown, std::string_view host) {
  std::string out;
  std::size_t plainStart = 0;
  std::size_t at = 0;
  while ((at = markdown.find('[', at)) != std::string_view::npos) {
    const std::size_t close = markdown.find("](", at + 1);
    if (close == std::string_view::npos)
      break;
    const std::size_t end = markdown.find(')', close + 2);
    if (end == std::string_view::npos)
      break;
    const std::string_view text = markdown.substr(at + 1, close - at - 1);
    const std::string_view target = markdown.substr(close + 2, end - close - 2);
    if (text.find('[') != std::string_view::npos) {
      ++at;
      continue;
    }
    out += escaped(markdown.substr(plainStart, at - plainStart));
    if (isServiceLink(Url::parse(target), host)) {
      out += "<a href=\"" + escaped(target) + "\">" + escaped(text) + "</a>";
    } else {
      out += escaped(text);
    }
    plainStart = at = end + 1;
  }
  out += escaped(markdown.substr(plainStart));
  return out;
}

std::string formatTemplate(std::string_view localizedTemplate, std::string_view value) {
  std::string out;
  std::size_t start = 0;
  std::size_t at = 0;
  while ((at = localizedTemplate.find("%@", start)) != std::string_view::npos) {
    out += localizedTemplate.substr(start, at - start);
    out += value;
    start = at + 2;
  }
  out += localizedTemplate.substr(start);
  return out;
}

}  // namespace orlith
