// The stored session as read back from the keyring, where anything may have been written.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "session/StoredSession.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    orlith::StoredSession::decode(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const std::exception&) {
    // A corrupt entry is reported as such.
  }
  return 0;
}
