// A UriOpener for tests: it keeps every address it is asked to open and answers `result`.
#pragma once

#include <string>
#include <vector>

#include "base/UriOpener.h"

namespace orlith::testing {

class RecordingOpener final : public UriOpener {
 public:
  bool open(const std::string& uri) override {
    opened.push_back(uri);
    return result;
  }
  bool result = true;
  std::vector<std::string> opened;
};

}  // namespace orlith::testing
