// In-memory Preferences for tests.
#include "support/FakePreferences.h"

#include <cerrno>
#include <system_error>

namespace orlith {

std::optional<PreferenceValue> FakePreferences::value(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) {
    return std::nullopt;
  }
  return it->second;
}

void FakePreferences::store(const std::string& key, const PreferenceValue& value) {
  checkWritable();
  values_.insert_or_assign(key, value);
  ++writeCount_;
}

void FakePreferences::erase(const std::string& key) {
  checkWritable();
  values_.erase(key);
  ++writeCount_;
}

void FakePreferences::checkWritable() const {
  if (failWrites_) {
    throw std::system_error(ENOSPC, std::generic_category(), "FakePreferences: write failed");
  }
}

}  // namespace orlith
