// Links that arrive on the app's own scheme from any program.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "session/DeepLinks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto url = orlith::Url::parse(std::string_view(reinterpret_cast<const char*>(data), size));
  if (url) {
    orlith::nativeAuthCallbackToken(*url);
    orlith::isBillingReturnURL(*url);
  }
  return 0;
}
