// Desktop commands a page asks for: parsed as the bridge receives them and validated into the
// tab's queue.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "base/Json.h"
#include "workspace/surface/PendingDesktopCommands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  orlith::PendingDesktopCommands::isAcceptableHref(text);
  try {
    const orlith::Json payload = orlith::Json::parse(text);
    orlith::PendingDesktopCommands queue;
    queue.enqueue(payload);
    queue.enqueue(payload);
  } catch (const std::exception&) {
    // Not JSON: the bridge drops it.
  }
  return 0;
}
