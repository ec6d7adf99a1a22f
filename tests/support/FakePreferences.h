// In-memory Preferences for tests, with a switch that makes the next writes fail.
#pragma once

#include <map>

#include "base/Preferences.h"

namespace orlith {

class FakePreferences final : public Preferences {
 public:
  std::optional<PreferenceValue> value(const std::string& key) const override;

  // While set, every store or removal throws std::system_error(ENOSPC) and changes nothing.
  void setFailWrites(bool fail) { failWrites_ = fail; }
  // Successful stores and removals so far.
  int writeCount() const { return writeCount_; }
  const std::map<std::string, PreferenceValue>& values() const { return values_; }

 protected:
  void store(const std::string& key, const PreferenceValue& value) override;
  void erase(const std::string& key) override;

 private:
  void checkWritable() const;

  std::map<std::string, PreferenceValue> values_;
  bool failWrites_ = false;
  int writeCount_ = 0;
};

}  // namespace orlith
