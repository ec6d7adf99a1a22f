// The autostart entry on a temporary folder: written, read back through GIO's desktop-entry
// parser, deleted; a folder that cannot take it fails; another program's entry is not ours.
#include "app/gtk/XdgAutostartLoginItem.h"

#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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
  EXPECT_EQ(XdgAutostartLoginItem::programOfExecLine(exec), program.string());
  g_free(exec);
  g_object_unref(info);

  item.unregisterItem();
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_EQ(item.status(), 0);
  item.unregisterItem();  // a missing entry counts as done
}

TEST(XdgAutostartLoginItem, APercentSignIsWrittenAsTheLiteralFieldCode) {
  TemporaryDirectory temporary;
  const path program = makeProgram(temporary.path() / "100% sure/Orlith");
  XdgAutostartLoginItem item(temporary.path() / "autostart", kId, program);
  item.registerItem();
  EXPECT_EQ(item.status(), 1);
  GKeyFile* file = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_file(file, item.entryPath()->c_str(), G_KEY_FILE_NONE, nullptr));
  gchar* exec = g_key_file_get_string(file, "Desktop Entry", "Exec", nullptr);
  EXPECT_EQ(std::string(exec), "\"" + (temporary.path() / "100%% sure/Orlith").string() + "\"");
  g_free(exec);
  g_key_file_free(file);
}

TEST(XdgAutostartLoginItem, EntriesThatAreNotOursOrNotEnabledReadAsNotRegistered) {
  TemporaryDirectory temporary;
  const path folder = temporary.path() / "autostart";
  const path entry = folder / (std::string(kId) + ".desktop");
  const path program = temporary.path() / "Orlith";
  XdgAutostartLoginItem item(folder, kId, program);
  const std::string exec = "Exec=" + XdgAutostartLoginItem::execLine(program) + "\n";
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

}  // namespace
}  // namespace orlith
