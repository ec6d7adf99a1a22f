// The watch on the preferences file against real GIO: a second process's write reaches this
// process's copy on the main loop, with the change signal for the key it changed.
#include "platform/glib/GlibFileWatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/JsonFilePreferences.h"
#include "support/ForkedProcess.h"
#include "support/TemporaryDirectory.h"

namespace orlith {
namespace {

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    if (!g_main_context_iteration(nullptr, FALSE))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST(GlibFileWatch, PreferencesFollowWhatAnotherProcessWrites) {
  TemporaryDirectory temporary;
  const auto file = temporary.path() / "orlith" / "preferences.json";
  JsonFilePreferences preferences(file);
  preferences.setBoolean("orlith.diagnostics", true);
  GlibFileWatch watch(file, [&] { preferences.reload(); });
  std::vector<std::string> signalled;
  preferences.changed().connect([&](const std::string& key) { signalled.push_back(key); });

  testing::ForkedProcess other([&] {
    JsonFilePreferences own(file);
    own.setBoolean("orlith.diagnostics", false);
    own.setString("orlith.other", "record");
    return 0;
  });
  ASSERT_EQ(other.wait(std::chrono::seconds(10)), 0);
  ASSERT_TRUE(spinUntil([&] { return preferences.string("orlith.other") == "record"; },
                        std::chrono::seconds(10)));
  EXPECT_EQ(preferences.boolean("orlith.diagnostics"), false);
  // Every event of the writes has come by now; each key was announced once, as it changed.
  spinUntil([] { return false; }, std::chrono::milliseconds(300));
  std::sort(signalled.begin(), signalled.end());
  EXPECT_EQ(signalled, (std::vector<std::string>{"orlith.diagnostics", "orlith.other"}));
}

}  // namespace
}  // namespace orlith
