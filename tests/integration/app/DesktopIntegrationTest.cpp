// The app's desktop entry and icon in a temporary data folder: never written through a planted
// link, and loaded and started by GIO with a link whatever the program's path holds.
#include "app/gtk/DesktopIntegration.h"

#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "RecordingProgram.h"
#include "base/FileContents.h"
#include "platform/glib/GObjectPtr.h"
#include "support/TemporaryDirectory.h"

namespace orlith {
namespace {

namespace fs = std::filesystem;

constexpr const char* kId = "com.tolvik.orlith.mac";

std::string contents(const fs::path& file) {
  return readFileContents(file, 1 << 20);
}

TEST(DesktopIntegration, NeverWritesThroughLinksPlantedBesideTheEntryOrTheIcon) {
  TemporaryDirectory temporary;
  const fs::path data = temporary.path() / "data";
  const fs::path entry = data / "applications" / (std::string(kId) + ".desktop");
  const fs::path icon = data / "icons/hicolor/256x256/apps" / (std::string(kId) + ".png");
  const fs::path profile = temporary.path() / ".profile";
  const fs::path picture = temporary.path() / "picture.png";
  std::ofstream(profile) << "export PATH";
  std::ofstream(picture) << "a picture";
  for (const auto& [file, victim] : {std::pair{entry, profile}, std::pair{icon, picture}}) {
    fs::create_directories(file.parent_path());
    fs::create_symlink(victim, file.string() + ".new");
  }
  const fs::path program =
      testing::makeRecordingProgram(temporary.path() / "bin/Orlith", temporary.path() / "log");

  DesktopIntegration::install(kId, program, false, data, [] { return std::string("PNG"); });
  EXPECT_EQ(contents(profile), "export PATH");
  EXPECT_EQ(contents(picture), "a picture");
  EXPECT_FALSE(fs::is_symlink(entry));
  EXPECT_FALSE(fs::is_symlink(icon));
  EXPECT_EQ(contents(icon), "PNG");
  EXPECT_EQ(contents(entry).rfind("[Desktop Entry]\n", 0), 0u);
}

TEST(DesktopIntegration, TheDesktopHandsALinkToTheProgramWhateverItsPathHolds) {
  for (const char* folder : {"Applications", "100% sure", "50%u off", "a=b \"c\" $d"}) {
    TemporaryDirectory temporary;
    const fs::path data = temporary.path() / "data";
    const fs::path log = temporary.path() / "log";
    const fs::path program =
        testing::makeRecordingProgram(temporary.path() / folder / "Orlith", log);
    DesktopIntegration::install(kId, program, false, data, [] { return std::string("PNG"); });

    const fs::path entry = data / "applications" / (std::string(kId) + ".desktop");
    GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(entry.c_str()));
    ASSERT_NE(info, nullptr) << "the desktop refuses the entry of " << folder;
    GList uris{const_cast<char*>("orlith://open?id=1&x=%20"), nullptr, nullptr};
    GError* raw = nullptr;
    ASSERT_TRUE(g_app_info_launch_uris(G_APP_INFO(info.get()), &uris, nullptr, &raw)) << folder;
    GErrorPtr error(raw);
    EXPECT_EQ(testing::waitForRecord(log, std::chrono::seconds(20)),
              program.string() + "\norlith://open?id=1&x=%20\n")
        << folder;
  }
}

}  // namespace
}  // namespace orlith
