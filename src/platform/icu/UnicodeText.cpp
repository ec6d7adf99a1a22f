// ICU works on UTF-16: each operation converts strictly in, and back out where it returns text.
#include "platform/icu/UnicodeText.h"

#include <unicode/ubrk.h>
#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include <cstdint>
#include <limits>
#include <memory>

namespace orlith {
namespace {

// U_SENTINEL as the substitute makes ICU report ill-formed UTF-8 instead of replacing it.
std::optional<std::u16string> utf16FromUtf8(std::string_view utf8) {
  if (utf8.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
    return std::nullopt;
  const auto sourceLength = static_cast<int32_t>(utf8.size());
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8WithSub(nullptr, 0, &length, utf8.data(), sourceLength, U_SENTINEL, nullptr,
                       &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
    return std::nullopt;
  std::u16string text(static_cast<std::size_t>(length), u'\0');
  status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(text.data(), length, &length, utf8.data(), sourceLength, U_SENTINEL, nullptr,
                       &status);
  if (U_FAILURE(status))
    return std::nullopt;
  return text;
}

std::optional<std::string> utf8FromUtf16(const std::u16string& text) {
  const auto sourceLength = static_cast<int32_t>(text.size());
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strToUTF8WithSub(nullptr, 0, &length, text.data(), sourceLength, U_SENTINEL, nullptr, &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
    return std::nullopt;
  std::string utf8(static_cast<std::size_t>(length), '\0');
  status = U_ZERO_ERROR;
  u_strToUTF8WithSub(utf8.data(), length, &length, text.data(), sourceLength, U_SENTINEL, nullptr,
                     &status);
  if (U_FAILURE(status))
    return std::nullopt;
  return utf8;
}

struct BreakIteratorClose {
  void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};

}  // namespace

std::optional<std::string> lowercasedLocaleIndependent(std::string_view utf8) {
  auto text = utf16FromUtf8(utf8);
  if (!text)
    return std::nullopt;
  const auto sourceLength = static_cast<int32_t>(text->size());
  UErrorCode status = U_ZERO_ERROR;
  // Full case mapping may lengthen the text ("İ" gives two code units), so measure first.
  int32_t length = u_strToLower(nullptr, 0, text->data(), sourceLength, "", &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
    return std::nullopt;
  std::u16string lowered(static_cast<std::size_t>(length), u'\0');
  status = U_ZERO_ERROR;
  length = u_strToLower(lowered.data(), length, text->data(), sourceLength, "", &status);
  if (U_FAILURE(status))
    return std::nullopt;
  lowered.resize(static_cast<std::size_t>(length));
  return utf8FromUtf16(lowered);
}

std::optional<std::size_t> graphemeClusterCount(std::string_view utf8) {
  auto text = utf16FromUtf8(utf8);
  if (!text)
    return std::nullopt;
  if (text->empty())
    return 0;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UBreakIterator, BreakIteratorClose> iterator(
      ubrk_open(UBRK_CHARACTER, "", text->data(), static_cast<int32_t>(text->size()), &status));
  if (U_FAILURE(status) || !iterator)
    return std::nullopt;
  std::size_t count = 0;
  while (ubrk_next(iterator.get()) != UBRK_DONE)
    ++count;
  return count;
}

}  // namespace orlith
