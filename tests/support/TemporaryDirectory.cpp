// Temporary directories for tests.
#include "support/TemporaryDirectory.h"

#include <stdlib.h>

#include <string>
#include <system_error>

namespace orlith {

TemporaryDirectory::TemporaryDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orlith-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  }
  path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code error;
  // Tests may have made parts read-only; as root that does not stop removal.
  std::filesystem::remove_all(path_, error);
}

}  // namespace orlith
