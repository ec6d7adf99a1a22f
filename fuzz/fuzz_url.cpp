// URL parsing and rebuilding from components.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/Url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto url = orlith::Url::parse(std::string_view(reinterpret_cast<const char*>(data), size));
  if (url) {
    const std::string text = url->absoluteString();
    const auto again = orlith::Url::parse(text);
    if (!again) {
      __builtin_trap();  // what we print must read back
    }
    url->host();
    url->path();
  }
  return 0;
}
