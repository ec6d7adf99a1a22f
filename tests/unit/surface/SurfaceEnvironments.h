// The environments the surface tests run against: a production-like origin and a local one.
#pragma once

#include <stdexcept>

#include "base/Url.h"
#include "session/OrlithEnvironment.h"

namespace orlith::testing {

inline const ServiceHosts kTestHosts{"https://orlith.example", "orlith.example",
                                     "www.orlith.example"};

inline Url url(const char* text) {
  auto parsed = Url::parse(text);
  if (!parsed)
    throw std::invalid_argument(text);
  return *parsed;
}

inline OrlithEnvironment productionEnvironment() {
  return OrlithEnvironment(url("https://orlith.example"), kTestHosts);
}

inline OrlithEnvironment localEnvironment() {
  return OrlithEnvironment(url("https://127.0.0.1:47800"), kTestHosts);
}

}  // namespace orlith::testing
