// The typed surface of the preferences port.
#include "base/Preferences.h"

#include <cmath>
#include <stdexcept>

namespace orlith {

namespace {

template <typename T>
std::optional<T> alternative(const std::optional<PreferenceValue>& value) {
  if (value && std::holds_alternative<T>(*value)) {
    return std::get<T>(*value);
  }
  return std::nullopt;
}

}  // namespace

void Preferences::setValue(const std::string& key, PreferenceValue newValue) {
  if (const double* number = std::get_if<double>(&newValue); number && !std::isfinite(*number)) {
    throw std::invalid_argument("Preferences hold finite numbers only: " + key);
  }
  refresh();
  if (value(key) == newValue) {
    return;
  }
  store(key, newValue);
  changed_.emit(key);
}

void Preferences::remove(const std::string& key) {
  refresh();
  if (!value(key)) {
    return;
  }
  erase(key);
  changed_.emit(key);
}

std::optional<std::string> Preferences::string(const std::string& key) const {
  return alternative<std::string>(value(key));
}

std::optional<bool> Preferences::boolean(const std::string& key) const {
  return alternative<bool>(value(key));
}

std::optional<double> Preferences::number(const std::string& key) const {
  return alternative<double>(value(key));
}

std::optional<std::int64_t> Preferences::integer(const std::string& key) const {
  std::optional<double> stored = number(key);
  // 2^63 is exactly representable; the int64 range is [-2^63, 2^63).
  constexpr double kLimit = 9223372036854775808.0;
  if (!stored || std::trunc(*stored) != *stored || *stored < -kLimit || *stored >= kLimit) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(*stored);
}

std::optional<PreferenceData> Preferences::data(const std::string& key) const {
  return alternative<PreferenceData>(value(key));
}

void Preferences::setString(const std::string& key, std::string value) {
  setValue(key, PreferenceValue(std::in_place_type<std::string>, std::move(value)));
}

void Preferences::setBoolean(const std::string& key, bool value) {
  setValue(key, PreferenceValue(std::in_place_type<bool>, value));
}

void Preferences::setNumber(const std::string& key, double value) {
  setValue(key, PreferenceValue(std::in_place_type<double>, value));
}

void Preferences::setData(const std::string& key, PreferenceData value) {
  setValue(key, PreferenceValue(std::in_place_type<PreferenceData>, std::move(value)));
}

}  // namespace orlith
