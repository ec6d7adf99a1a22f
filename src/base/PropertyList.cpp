// XML property-list reader on GMarkup.
#include "base/PropertyList.h"

#include <glib.h>

#include <charconv>
#include <optional>
#include <system_error>

#include "base/Base64.h"
#include "base/FileContents.h"
#include "base/UnixTime.h"

namespace orlith {

PlistValue::PlistValue(std::string value) : value_(std::move(value)) {}
PlistValue::PlistValue(bool value) : value_(value) {}
PlistValue::PlistValue(std::int64_t value) : value_(value) {}
PlistValue::PlistValue(double value) : value_(value) {}
PlistValue::PlistValue(PlistData value) : value_(std::move(value)) {}
PlistValue::PlistValue(PlistDate value) : value_(value) {}
PlistValue::PlistValue(PlistArray value)
    : value_(std::make_shared<const PlistArray>(std::move(value))) {}
PlistValue::PlistValue(PlistDictionary value)
    : value_(std::make_shared<const PlistDictionary>(std::move(value))) {}

PlistType PlistValue::type() const {
  static constexpr PlistType kTypes[] = {
      PlistType::String, PlistType::Boolean, PlistType::Integer, PlistType::Real,
      PlistType::Data,   PlistType::Date,    PlistType::Array,   PlistType::Dictionary};
  return kTypes[value_.index()];
}

const PlistArray* PlistValue::array() const {
  auto* pointer = std::get_if<std::shared_ptr<const PlistArray>>(&value_);
  return pointer ? pointer->get() : nullptr;
}

const PlistDictionary* PlistValue::dictionary() const {
  auto* pointer = std::get_if<std::shared_ptr<const PlistDictionary>>(&value_);
  return pointer ? pointer->get() : nullptr;
}

const PlistValue* PlistDictionary::find(std::string_view key) const {
  auto it = entries_.find(key);
  return it == entries_.end() ? nullptr : &it->second;
}

namespace {

enum class Element { Plist, Dict, Array, Key, String, Integer, Real, Data, Date, True, False };

struct ElementName {
  std::string_view name;
  Element element;
};

constexpr ElementName kElements[] = {
    {"plist", Element::Plist}, {"dict", Element::Dict},     {"array", Element::Array},
    {"key", Element::Key},     {"string", Element::String}, {"integer", Element::Integer},
    {"real", Element::Real},   {"data", Element::Data},     {"date", Element::Date},
    {"true", Element::True},   {"false", Element::False},
};

bool holdsText(Element element) {
  return element != Element::Plist && element != Element::Dict && element != Element::Array;
}

bool isBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::string_view trimmed(std::string_view text) {
  auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) {
    return {};
  }
  auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

struct Frame {
  Element element;
  std::string text;
  PlistArray items;
  PlistDictionary::Entries entries;
  std::optional<std::string> pendingKey;
};

using ErrorPointer = std::unique_ptr<GError, decltype(&g_error_free)>;
using DateTimePointer = std::unique_ptr<GDateTime, decltype(&g_date_time_unref)>;

std::int64_t parseInteger(std::string_view text) {
  text = trimmed(text);
  if (text.starts_with('+')) {
    text.remove_prefix(1);
  }
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw PropertyListError("bad <integer> \"" + std::string(text) + "\"");
  }
  return value;
}

double parseReal(std::string_view text) {
  std::string number(trimmed(text));
  char* end = nullptr;
  double value = g_ascii_strtod(number.c_str(), &end);
  if (number.empty() || end != number.c_str() + number.size()) {
    throw PropertyListError("bad <real> \"" + number + "\"");
  }
  return value;
}

PlistDate parseDate(std::string_view text) {
  std::string iso(trimmed(text));
  // Without a default zone, a date that names no zone is rejected rather than read as local.
  DateTimePointer date(g_date_time_new_from_iso8601(iso.c_str(), nullptr), &g_date_time_unref);
  if (!date) {
    throw PropertyListError("bad <date> \"" + iso + "\"");
  }
  return systemTimeFromUnixSeconds(g_date_time_to_unix(date.get()),
                                   g_date_time_get_microsecond(date.get()));
}

class Builder {
 public:
  void start(std::string_view name) {
    Element element = lookup(name);
    if (stack_.empty()) {
      if (element != Element::Plist || root_) {
        fail("expected one <plist> element, found <" + std::string(name) + ">");
      }
    } else {
      Frame& parent = stack_.back();
      if (holdsText(parent.element)) {
        fail("<" + std::string(name) + "> inside a text element");
      }
      if (element == Element::Plist) {
        fail("nested <plist>");
      }
      if (parent.element == Element::Plist && !parent.items.empty()) {
        fail("<plist> holds more than one value");
      }
      if (parent.element == Element::Dict &&
          (element == Element::Key) == parent.pendingKey.has_value()) {
        fail(element == Element::Key ? "<key> without a value" : "a <dict> value without a <key>");
      }
      if (parent.element != Element::Dict && element == Element::Key) {
        fail("<key> outside a <dict>");
      }
    }
    if (stack_.size() >= static_cast<std::size_t>(kMaxPropertyListDepth)) {
      fail("nested too deeply");
    }
    stack_.push_back(Frame{element, {}, {}, {}, {}});
  }

  void text(std::string_view text) {
    if (stack_.empty() || !holdsText(stack_.back().element)) {
      if (!isBlank(text)) {
        fail("unexpected text \"" + std::string(trimmed(text)) + "\"");
      }
      return;
    }
    stack_.back().text.append(text);
  }

  void end() {
    Frame frame = std::move(stack_.back());
    stack_.pop_back();
    if (frame.element == Element::Plist) {
      if (frame.items.size() != 1) {
        fail("<plist> holds no value");
      }
      root_.emplace(std::move(frame.items.front()));
      return;
    }
    Frame& parent = stack_.back();
    if (frame.element == Element::Key) {
      if (parent.entries.contains(frame.text)) {
        fail("key \"" + frame.text + "\" given twice");
      }
      parent.pendingKey = std::move(frame.text);
      return;
    }
    PlistValue value = build(frame);
    if (parent.element == Element::Dict) {
      parent.entries.emplace(std::move(*parent.pendingKey), std::move(value));
      parent.pendingKey.reset();
    } else {
      parent.items.push_back(std::move(value));
    }
  }

  PlistValue result() {
    if (!root_) {
      fail("no <plist> element");
    }
    return std::move(*root_);
  }

 private:
  [[noreturn]] static void fail(const std::string& message) { throw PropertyListError(message); }

  static Element lookup(std::string_view name) {
    for (const auto& [elementName, element] : kElements) {
      if (name == elementName) {
        return element;
      }
    }
    fail("unknown element <" + std::string(name) + ">");
  }

  static PlistValue build(Frame& frame) {
    switch (frame.element) {
      case Element::String:
        return PlistValue(std::move(frame.text));
      case Element::Integer:
        return PlistValue(parseInteger(frame.text));
      case Element::Real:
        return PlistValue(parseReal(frame.text));
      case Element::Data:
        if (auto bytes = base64Decode(frame.text)) {
          return PlistValue(std::move(*bytes));
        }
        fail("bad base64 in <data>");
      case Element::Date:
        return PlistValue(parseDate(frame.text));
      case Element::True:
      case Element::False:
        if (!isBlank(frame.text)) {
          fail("text inside a Boolean");
        }
        return PlistValue(frame.element == Element::True);
      case Element::Array:
        return PlistValue(std::move(frame.items));
      case Element::Dict:
        if (frame.pendingKey) {
          fail("key \"" + *frame.pendingKey + "\" without a value");
        }
        return PlistValue(PlistDictionary(std::move(frame.entries)));
      case Element::Plist:
      case Element::Key:
        break;
    }
    fail("misplaced element");
  }

  std::vector<Frame> stack_;
  std::optional<PlistValue> root_;
};

// GMarkup calls back through C, so no exception may pass: each becomes the parse's GError.
template <typename Action>
void guarded(GError** error, Action&& action) {
  try {
    action();
  } catch (const std::exception& exception) {
    g_set_error(error, G_MARKUP_ERROR, G_MARKUP_ERROR_INVALID_CONTENT, "%s", exception.what());
  }
}

void onStart(GMarkupParseContext*, const gchar* name, const gchar**, const gchar**,
             gpointer builder, GError** error) {
  guarded(error, [&] { static_cast<Builder*>(builder)->start(name); });
}

void onEnd(GMarkupParseContext*, const gchar*, gpointer builder, GError** error) {
  guarded(error, [&] { static_cast<Builder*>(builder)->end(); });
}

void onText(GMarkupParseContext*, const gchar* text, gsize length, gpointer builder,
            GError** error) {
  guarded(error, [&] { static_cast<Builder*>(builder)->text(std::string_view(text, length)); });
}

constexpr GMarkupParser kParser = {onStart, onEnd, onText, nullptr, nullptr};

}  // namespace

PlistValue parsePropertyList(std::string_view xml) {
  Builder builder;
  using ContextPointer =
      std::unique_ptr<GMarkupParseContext, decltype(&g_markup_parse_context_free)>;
  ContextPointer context(
      g_markup_parse_context_new(&kParser,
                                 static_cast<GMarkupParseFlags>(G_MARKUP_TREAT_CDATA_AS_TEXT |
                                                                G_MARKUP_PREFIX_ERROR_POSITION),
                                 &builder, nullptr),
      &g_markup_parse_context_free);
  GError* rawError = nullptr;
  bool parsed = g_markup_parse_context_parse(context.get(), xml.data(),
                                             static_cast<gssize>(xml.size()), &rawError) &&
                g_markup_parse_context_end_parse(context.get(), &rawError);
  ErrorPointer error(rawError, &g_error_free);
  if (!parsed) {
    throw PropertyListError(std::string("malformed property list: ") +
                            (error ? error->message : "unknown error"));
  }
  return builder.result();
}

PlistValue readPropertyListFile(const std::filesystem::path& file) {
  std::string contents;
  try {
    contents = readFileContents(file, kMaxPropertyListFileSize);
  } catch (const std::system_error& error) {
    if (error.code() == std::errc::file_too_large) {
      throw PropertyListError(file.string() + " is too large for a property list");
    }
    throw;
  }
  try {
    return parsePropertyList(contents);
  } catch (const PropertyListError& error) {
    throw PropertyListError(file.string() + ": " + error.what());
  }
}

}  // namespace orlith
