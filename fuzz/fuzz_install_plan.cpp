// The install plan the updater reads from its work root.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "update/trust/UpdateInstallPlan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const auto plan = orlith::UpdateInstallPlan::decode(
        std::string_view(reinterpret_cast<const char*>(data), size));
    orlith::UpdateInstallPlan::decode(plan.encode());
  } catch (const std::exception&) {
    // Refused plans stop the updater.
  }
  return 0;
}
