// A reader of XML property lists (Info.plist) into a small immutable value tree, on GMarkup.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orlith {

class PropertyListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class PlistValue;
using PlistData = std::vector<std::uint8_t>;
using PlistDate = std::chrono::system_clock::time_point;
using PlistArray = std::vector<PlistValue>;
class PlistDictionary;

enum class PlistType { String, Boolean, Integer, Real, Data, Date, Array, Dictionary };

class PlistValue {
 public:
  explicit PlistValue(std::string value);
  explicit PlistValue(bool value);
  explicit PlistValue(std::int64_t value);
  explicit PlistValue(double value);
  explicit PlistValue(PlistData value);
  explicit PlistValue(PlistDate value);
  explicit PlistValue(PlistArray value);
  explicit PlistValue(PlistDictionary value);

  PlistType type() const;

  // nullptr when the value is of another type.
  const std::string* string() const { return std::get_if<std::string>(&value_); }
  const bool* boolean() const { return std::get_if<bool>(&value_); }
  const std::int64_t* integer() const { return std::get_if<std::int64_t>(&value_); }
  const double* real() const { return std::get_if<double>(&value_); }
  const PlistData* data() const { return std::get_if<PlistData>(&value_); }
  const PlistDate* date() const { return std::get_if<PlistDate>(&value_); }
  const PlistArray* array() const;
  const PlistDictionary* dictionary() const;

 private:
  // Containers sit behind shared pointers because the value type is still incomplete here.
  std::variant<std::string, bool, std::int64_t, double, PlistData, PlistDate,
               std::shared_ptr<const PlistArray>, std::shared_ptr<const PlistDictionary>>
      value_;
};

class PlistDictionary {
 public:
  using Entries = std::map<std::string, PlistValue, std::less<>>;

  PlistDictionary() = default;
  explicit PlistDictionary(Entries entries) : entries_(std::move(entries)) {}

  const PlistValue* find(std::string_view key) const;
  const Entries& entries() const { return entries_; }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

 private:
  Entries entries_;
};

// Parses <plist> holding one value. Malformed XML, unknown elements, a dictionary key without a
// value or given twice, text where none belongs, bad numbers, base64 or dates, and nesting deeper
// than kMaxPropertyListDepth throw PropertyListError.
inline constexpr int kMaxPropertyListDepth = 128;
// The largest property-list file readPropertyListFile reads; the bundle seal reads Info.plist
// up to the same size, so whatever the sealing program could read, the seal check can too.
inline constexpr std::size_t kMaxPropertyListFileSize = 16 << 20;
PlistValue parsePropertyList(std::string_view xml);

// Reads and parses a file: a failure to read throws std::system_error, bad content
// PropertyListError (also for a file larger than 16 MiB).
PlistValue readPropertyListFile(const std::filesystem::path& file);

}  // namespace orlith
