// The user defaults: a port holding typed values under full keys ("orlith.appearance"), with a
// change signal. Used on the main thread only.
#pragma once

#include <sigc++/sigc++.h>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace orlith {

using PreferenceData = std::vector<std::uint8_t>;
using PreferenceValue = std::variant<std::string, bool, double, PreferenceData>;

class Preferences {
 public:
  Preferences() = default;
  Preferences(const Preferences&) = delete;
  Preferences& operator=(const Preferences&) = delete;
  virtual ~Preferences() = default;

  virtual std::optional<PreferenceValue> value(const std::string& key) const = 0;

  // Stores the value; when that changes what is stored, changed() is emitted with the key after
  // the change has taken effect. Numbers must be finite (std::invalid_argument otherwise).
  // An implementation that fails to store throws and keeps the earlier value.
  void setValue(const std::string& key, PreferenceValue newValue);
  // Removes the key; emits changed() when there was a value.
  void remove(const std::string& key);

  // A value of another type reads as absent.
  std::optional<std::string> string(const std::string& key) const;
  std::optional<bool> boolean(const std::string& key) const;
  std::optional<double> number(const std::string& key) const;
  // A number that is integral and within the int64 range.
  std::optional<std::int64_t> integer(const std::string& key) const;
  std::optional<PreferenceData> data(const std::string& key) const;

  void setString(const std::string& key, std::string value);
  void setBoolean(const std::string& key, bool value);
  void setNumber(const std::string& key, double value);
  void setData(const std::string& key, PreferenceData value);

  sigc::signal<void(const std::string&)>& changed() { return changed_; }

 protected:
  // Brings the copy up to date with the store before a change is compared with it, for a store
  // that others may change too. Nothing by default.
  virtual void refresh() {}
  // Called only when the stored value differs; returns after the change took effect or throws.
  virtual void store(const std::string& key, const PreferenceValue& value) = 0;
  virtual void erase(const std::string& key) = 0;
  // For a change that did not come through this object (another process's).
  void notifyChanged(const std::string& key) { changed_.emit(key); }

 private:
  sigc::signal<void(const std::string&)> changed_;
};

}  // namespace orlith
