// The autostart entry on a temporary folder: written, read back and started through GIO's
// desktop entries, deleted; a folder that cannot take it fails; another program's entry is not
// ours; an entry in a system folder counts until the user's own overrides it.
#include "app/gtk/XdgAutostartLoginItem.h"

#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "RecordingProgram.h"
#include "app/DesktopEntry.h"
#include "app/LoginItemState.h"
#include "platform/glib/GObjectPtr.h"
#include "support/TemporaryDirectory.h"

namespace orlith {
namespace {

using std::filesystem::path;

constexpr const char* kId = "com.tolvik.orlith.mac";

void writeEntry(const path& file, const std::string& body) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << "[Desktop Entry]\nType=Application\nName=Orlith\n" << body;
}

path makeProgram(const path& file) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << "#!/bin/sh\n";
  std::filesystem::permissions(file, std::filesystem::perms::owner_all);
  return file;
}

TEST(XdgAutostartLoginItem, RegisterWritesAnEntryGioReadsAndUnregisterDeletesIt) {
  TemporaryDirectory temporary;
  const path program = makeProgram(temporary.path() / "bin dir/\"real\" $x`y`\\z/Orlith");
  XdgAutostartLoginItem item(temporary.path() / "config/autostart", kId, program);
  EXPECT_EQ(item.status(), 0);
  item.registerItem();
  EXPECT_EQ(item.status(), 1);

  const path entry = temporary.path() / "config/autostart" / (std::string(kId) + ".desktop");
  ASSERT_EQ(item.entryPath(), entry);
  GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(entry.c_str());
  ASSERT_NE(info, nullptr) << "GIO refuses an entry whose program it cannot find";
  EXPECT_STREQ(g_app_info_get_name(G_APP_INFO(info)), "Orlith");
  EXPECT_TRUE(g_desktop_app_info_get_boolean(info, "X-GNOME-Autostart-enabled"));
  gchar* exec = g_desktop_app_info_get_string(info, "Exec");
  ASSERT_NE(exec, nullptr);
  EXPECT_EQ(DesktopEntry::programOfExecLine(exec), program);
  g_free(exec);
  g_object_unref(info);

  item.unregisterItem();
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_EQ(item.status(), 0);
  item.unregisterItem();  // a missing entry counts as done
}

TEST(XdgAutostartLoginItem, TheDesktopStartsTheProgramWhateverItsPathHolds) {
  for (const char* folder : {"100% sure", "50%u off", "a=b;c#d", "it's \"$HOME\" `x`"}) {
    TemporaryDirectory temporary;
    const path log = temporary.path() / "started";
    const path program = testing::makeRecordingProgram(temporary.path() / folder / "Orlith", log);
    XdgAutostartLoginItem item(temporary.path() / "autostart", kId, program);
    item.registerItem();
    EXPECT_EQ(item.status(), 1) << folder;

    GObjectPtr<GDesktopAppInfo> info(
        g_desktop_app_info_new_from_filename(item.entryPath()->c_str()));
    ASSERT_NE(info, nullptr) << "the desktop refuses the entry of " << folder;
    GError* raw = nullptr;
    ASSERT_TRUE(g_app_info_launch(G_APP_INFO(info.get()), nullptr, nullptr, &raw)) << folder;
    GErrorPtr error(raw);
    EXPECT_EQ(testing::waitForRecord(log, std::chrono::seconds(20)), program.string() + "\n")
        << folder;
  }
}

TEST(XdgAutostartLoginItem, EntriesThatAreNotOursOrNotEnabledReadAsNotRegistered) {
  TemporaryDirectory temporary;
  const path folder = temporary.path() / "autostart";
  const path entry = folder / (std::string(kId) + ".desktop");
  const path program = makeProgram(temporary.path() / "Orlith");
  XdgAutostartLoginItem item(folder, kId, program);
  const std::string exec = "Exec=" + DesktopEntry::execLine(program) + "\n";
  const struct {
    const char* name;
    std::string body;
    int status;
  } cases[] = {
      {"ours", exec, 1},
      {"ours, unquoted", "Exec=" + program.string() + "\n", 1},
      {"hidden", exec + "Hidden=true\n", 0},
      {"disabled", exec + "X-GNOME-Autostart-enabled=false\n", 0},
      {"another program", "Exec=/usr/bin/other\n", 0},
      {"a field code", "Exec=" + program.string() + " %u\n", 1},
      {"no Exec", "", 0},
      {"not an entry", "garbage without a group", 0},
  };
  // Where the program's path holds a percent sign, the desktop never loads an entry that
  // names it first, whatever the app's own reading of it says.
  const path percent = makeProgram(temporary.path() / "100%" / "Orlith");
  writeEntry(entry, "Exec=\"" + (temporary.path() / "100%%" / "Orlith").string() + "\"\n");
  EXPECT_EQ(XdgAutostartLoginItem(folder, kId, percent).status(), 0);
  for (const auto& c : cases) {
    if (std::string(c.name) == "not an entry") {
      std::filesystem::create_directories(folder);
      std::ofstream(entry) << c.body;
    } else {
      writeEntry(entry, c.body);
    }
    EXPECT_EQ(item.status(), c.status) << c.name;
  }
  EXPECT_EQ(XdgAutostartLoginItem(std::nullopt, kId, program).status(), 3);
  EXPECT_EQ(XdgAutostartLoginItem(path("relative/autostart"), kId, program).status(), 3);
}

TEST(XdgAutostartLoginItem, AFolderThatCannotTakeTheEntryFails) {
  TemporaryDirectory temporary;
  // A file where the folder should be stops even a privileged user.
  std::ofstream(temporary.path() / "autostart") << "";
  XdgAutostartLoginItem blocked(temporary.path() / "autostart", kId, temporary.path() / "Orlith");
  EXPECT_THROW(blocked.registerItem(), LoginItemError);
  EXPECT_EQ(blocked.status(), 0);

  if (geteuid() != 0) {
    const path folder = temporary.path() / "read-only";
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(
        folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    XdgAutostartLoginItem item(folder, kId, temporary.path() / "Orlith");
    EXPECT_THROW(item.registerItem(), LoginItemError);
    EXPECT_EQ(item.status(), 0);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
  }
}

TEST(XdgAutostartLoginItem, ASystemEntryCountsUntilTheUsersOwnOverridesIt) {
  TemporaryDirectory temporary;
  const path program = makeProgram(temporary.path() / "Orlith");
  const path user = temporary.path() / "home/autostart";
  const path first = temporary.path() / "etc-first/autostart";
  const path second = temporary.path() / "etc/autostart";
  const std::string name = std::string(kId) + ".desktop";
  const std::string ours = "Exec=" + DesktopEntry::execLine(program) + "\n";
  const struct {
    const char* name;
    std::optional<std::string> user, first, second;
    int status;
  } cases[] = {
      {"in a system folder", std::nullopt, std::nullopt, ours, 1},
      {"hidden in the first system folder", std::nullopt, ours + "Hidden=true\n", ours, 0},
      {"disabled in a system folder", std::nullopt, std::nullopt,
       ours + "X-GNOME-Autostart-enabled=false\n", 0},
      {"hidden by the user", "Hidden=true\n", std::nullopt, ours, 0},
      {"the user's starts another program", "Exec=/usr/bin/other\n", std::nullopt, ours, 0},
      {"the user's is on", ours, ours + "Hidden=true\n", std::nullopt, 1},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(temporary.path() / "home");
    std::filesystem::remove_all(temporary.path() / "etc-first");
    std::filesystem::remove_all(temporary.path() / "etc");
    for (const auto& [folder, body] :
         {std::pair{user, c.user}, std::pair{first, c.first}, std::pair{second, c.second}}) {
      if (body)
        writeEntry(folder / name, *body);
    }
    XdgAutostartLoginItem item(user, kId, program, {first, second});
    EXPECT_EQ(item.status(), c.status) << c.name;
  }

  // Switched off, the system's entry is hidden by a user entry and stays as it was.
  std::filesystem::remove_all(temporary.path() / "home");
  std::filesystem::remove_all(temporary.path() / "etc-first");
  writeEntry(second / name, ours);
  XdgAutostartLoginItem item(user, kId, program, {first, second});
  ASSERT_EQ(item.status(), 1);
  EXPECT_TRUE(setLoginItemEnabled(item, false));
  EXPECT_EQ(item.status(), 0);
  GObjectPtr<GDesktopAppInfo> hidden(g_desktop_app_info_new_from_filename((user / name).c_str()));
  ASSERT_NE(hidden, nullptr);
  EXPECT_TRUE(g_desktop_app_info_get_is_hidden(hidden.get()));
  EXPECT_TRUE(std::filesystem::exists(second / name));
  EXPECT_TRUE(setLoginItemEnabled(item, true));
  EXPECT_EQ(item.status(), 1);
}

TEST(XdgAutostartLoginItem, TheCurrentUsersItemReadsTheSystemFoldersOfTheEnvironment) {
  TemporaryDirectory temporary;
  const path system = temporary.path() / "xdg";
  // Set before GLib first reads them in this test's process.
  setenv("XDG_CONFIG_HOME", (temporary.path() / "config").c_str(), 1);
  setenv("XDG_CONFIG_DIRS", ((temporary.path() / "none").string() + ":" + system.string()).c_str(),
         1);
  XdgAutostartLoginItem item = XdgAutostartLoginItem::forCurrentUser(kId);
  ASSERT_EQ(item.entryPath(),
            temporary.path() / "config/autostart" / (std::string(kId) + ".desktop"))
      << "GLib read the folders before the test set them";
  EXPECT_EQ(item.status(), 0);
  const path self = std::filesystem::read_symlink("/proc/self/exe");
  writeEntry(system / "autostart" / (std::string(kId) + ".desktop"),
             "Exec=" + DesktopEntry::execLine(self) + "\n");
  EXPECT_EQ(item.status(), 1);
  EXPECT_TRUE(setLoginItemEnabled(item, false));
  EXPECT_EQ(item.status(), 0);
  EXPECT_TRUE(std::filesystem::exists(*item.entryPath()));
}

}  // namespace
}  // namespace orlith
