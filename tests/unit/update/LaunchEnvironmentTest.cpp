// The environment every spawned update program gets.
#include "update/trust/LaunchEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orlith {
namespace {

struct EnvironmentCase {
  const char* entry;
  bool passes;
};

class LaunchEnvironmentTest : public ::testing::TestWithParam<EnvironmentCase> {};

TEST_P(LaunchEnvironmentTest, OnlyAllowListedVariablesReachTheChild) {
  const char* environment[] = {GetParam().entry, nullptr};
  const auto allowed = LaunchEnvironment::allowed(environment);
  const bool passed = std::find(allowed.begin(), allowed.end(), GetParam().entry) != allowed.end();
  EXPECT_EQ(passed, GetParam().passes) << GetParam().entry;
  EXPECT_EQ(allowed.front(), LaunchEnvironment::kPath);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, LaunchEnvironmentTest,
    ::testing::Values(
        EnvironmentCase{"HOME=/home/ada", true}, EnvironmentCase{"LANG=de_DE", true},
        EnvironmentCase{"LC_ALL=C", true}, EnvironmentCase{"LC_TIME=en_GB", true},
        EnvironmentCase{"DBUS_SESSION_BUS_ADDRESS=unix:path=/b", true},
        EnvironmentCase{"XDG_CONFIG_HOME=/c", true},
        EnvironmentCase{"WEBKIT_DISABLE_DMABUF_RENDERER=1", true},
        EnvironmentCase{"LD_PRELOAD=/x.so", false}, EnvironmentCase{"LD_LIBRARY_PATH=/x", false},
        EnvironmentCase{"GIO_MODULE_DIR=/x", false}, EnvironmentCase{"GTK_MODULES=x", false},
        EnvironmentCase{"GTK_PATH=/x", false}, EnvironmentCase{"GDK_PIXBUF_MODULE_FILE=/x", false},
        EnvironmentCase{"TMPDIR=/x", false}, EnvironmentCase{"LC_=x", false},
        EnvironmentCase{"LC_lower=x", false}, EnvironmentCase{"PATH=/evil", false},
        EnvironmentCase{"=value", false}, EnvironmentCase{"HOME", false}));

TEST(LaunchEnvironmentPathTest, PathIsFixedAndAppearsOnce) {
  const char* environment[] = {"PATH=/evil:/usr/bin", "USER=ada", nullptr};
  const auto allowed = LaunchEnvironment::allowed(environment);
  EXPECT_EQ(allowed, (std::vector<std::string>{LaunchEnvironment::kPath, "USER=ada"}));
}

}  // namespace
}  // namespace orlith
