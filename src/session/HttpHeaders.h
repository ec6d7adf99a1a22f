// Header fields of an HTTP request or reply: ordered, names compared without regard to ASCII
// case. Same-name fields read as one are joined with ", "; Set-Cookie is read per line.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orlith {

inline bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

struct HttpHeaderField {
  std::string name;
  std::string value;
  bool operator==(const HttpHeaderField&) const = default;
};

class HttpHeaders {
 public:
  HttpHeaders() = default;
  HttpHeaders(std::initializer_list<HttpHeaderField> fields) : fields_(fields) {}

  void add(std::string_view name, std::string_view value) {
    fields_.push_back({std::string(name), std::string(value)});
  }

  // Replaces every field of that name; a new name goes at the end.
  void set(std::string_view name, std::string_view value) {
    auto first = std::find_if(fields_.begin(), fields_.end(),
                              [&](const auto& field) { return named(field, name); });
    if (first == fields_.end()) {
      add(name, value);
      return;
    }
    first->value = std::string(value);
    fields_.erase(std::remove_if(std::next(first), fields_.end(),
                                 [&](const auto& field) { return named(field, name); }),
                  fields_.end());
  }

  void remove(std::string_view name) {
    std::erase_if(fields_, [&](const auto& field) { return named(field, name); });
  }

  std::optional<std::string> value(std::string_view name) const {
    std::optional<std::string> joined;
    for (const auto& field : fields_) {
      if (!named(field, name))
        continue;
      if (joined) {
        *joined += ", ";
        *joined += field.value;
      } else {
        joined = field.value;
      }
    }
    return joined;
  }

  std::vector<std::string> values(std::string_view name) const {
    std::vector<std::string> found;
    for (const auto& field : fields_) {
      if (named(field, name))
        found.push_back(field.value);
    }
    return found;
  }

  bool contains(std::string_view name) const { return value(name).has_value(); }
  const std::vector<HttpHeaderField>& fields() const { return fields_; }
  bool empty() const { return fields_.empty(); }
  void clear() { fields_.clear(); }

  bool operator==(const HttpHeaders&) const = default;

 private:
  static bool named(const HttpHeaderField& field, std::string_view name) {
    return equalsIgnoringAsciiCase(field.name, name);
  }

  std::vector<HttpHeaderField> fields_;
};

// True when the text holds CR, LF or NUL, which would let a value end its header line.
inline bool hasHeaderBreakingCharacter(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace orlith
