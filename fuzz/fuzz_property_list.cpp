// The XML property-list reader, as it reads every bundle's Info.plist.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "base/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const orlith::PlistValue root =
        orlith::parsePropertyList(std::string_view(reinterpret_cast<const char*>(data), size));
    if (const auto* dictionary = root.dictionary()) {
      dictionary->find("CFBundleIdentifier");
    }
  } catch (const std::exception&) {
    // Malformed documents are refused.
  }
  return 0;
}
