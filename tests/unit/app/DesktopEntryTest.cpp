// The desktop entry's text and when it is written.
#include <gmock/gmock.h>

#include "app/AutostartEntry.h"
#include "app/DesktopEntry.h"

namespace orlith {
namespace {

TEST(DesktopEntry, QuotesTheProgramSoItReadsBackExactly) {
  const char* programs[] = {
      "/home/ann/Applications/Orlith.app/Contents/MacOS/Orlith",
      "/home/ann/My Apps/Orlith \"beta\".app/Contents/MacOS/Orlith",
      "/tmp/a$b`c\\d%u/Orlith",
  };
  for (const char* program : programs) {
    const std::string text = DesktopEntry::text("com.tolvik.orlith.mac", program);
    EXPECT_EQ(DesktopEntry::execProgram(text), std::filesystem::path(program)) << text;
    EXPECT_THAT(text, ::testing::HasSubstr("MimeType=x-scheme-handler/orlith;\n"));
    EXPECT_THAT(text, ::testing::HasSubstr("StartupWMClass=com.tolvik.orlith.mac\n"));
    EXPECT_THAT(text, ::testing::HasSubstr("Icon=com.tolvik.orlith.mac\n"));
    EXPECT_THAT(text, ::testing::HasSubstr("\" %u\n"));
  }
  EXPECT_EQ(DesktopEntry::quotedExecArgument("/a b/%u"), "\"/a b/%%u\"");
}

TEST(DesktopEntry, AProgramWithAPercentSignIsStartedThroughTheShell) {
  const struct {
    const char* program;
    const char* start;
  } cases[] = {
      {"/opt/Orlith.app/Contents/MacOS/Orlith", "\"/opt/"},
      {"/home/ann/100% sure/Orlith",
       "/bin/sh -c \"exec \\\"\\$0\\\" \\\"\\$@\\\"\" \"/home/ann/100%% sure/"},
      {"/home/ann/a=b %u $x/Orlith", "/bin/sh -c "},
  };
  for (const auto& c : cases) {
    const std::string line = DesktopEntry::execLine(c.program, "%u");
    EXPECT_TRUE(line.starts_with(c.start)) << line;
    EXPECT_TRUE(line.ends_with(" %u")) << line;
    EXPECT_EQ(DesktopEntry::programOfExecLine(line), std::filesystem::path(c.program)) << line;
    EXPECT_EQ(DesktopEntry::programOfExecLine(DesktopEntry::execLine(c.program)),
              std::filesystem::path(c.program));
  }
  const std::pair<const char*, std::optional<std::filesystem::path>> parsed[] = {
      {"/usr/bin/orlith %u", "/usr/bin/orlith"},
      {"\"/a b/100%%\"", "/a b/100%"},
      {"/a/%u", std::nullopt},
      {"/bin/sh -c \"other script\" /a/b", "/bin/sh"},
      {"/bin/sh -c \"exec \\\"$0\\\" \\\"$@\\\"\"", "/bin/sh"},
      {"\"unterminated", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [exec, program] : parsed)
    EXPECT_EQ(DesktopEntry::programOfExecLine(exec), program) << exec;
}

TEST(AutostartEntry, CountsAsOnOnlyWhenTheDesktopStartsThisProgramWithIt) {
  const std::filesystem::path program = "/opt/Orlith.app/Contents/MacOS/Orlith";
  const std::string ours = DesktopEntry::execLine(program);
  using Desktop = AutostartEntry::Desktop;
  const struct {
    const char* name;
    std::optional<AutostartEntry> entry;
    int status;
  } cases[] = {
      {"none", std::nullopt, 0},
      {"ours", AutostartEntry{Desktop::accepts, false, true, ours}, 1},
      {"refused by the desktop", AutostartEntry{Desktop::refuses, false, true, ours}, 0},
      {"hidden", AutostartEntry{Desktop::accepts, true, true, ours}, 0},
      {"disabled", AutostartEntry{Desktop::accepts, false, false, ours}, 0},
      {"no Exec", AutostartEntry{Desktop::accepts, false, true, std::nullopt}, 0},
      {"another program", AutostartEntry{Desktop::accepts, false, true, "/usr/bin/other"}, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AutostartEntry::status(c.entry, program), c.status) << c.name;
}

TEST(DesktopEntry, IsWrittenWhenMissingMovedOrClaimedByAnInstalledCopy) {
  const std::filesystem::path here = "/opt/Applications/Orlith.app/Contents/MacOS/Orlith";
  const std::string other = DesktopEntry::text(
      "com.tolvik.orlith.mac", "/home/ann/Downloads/Orlith.app/Contents/MacOS/Orlith");
  auto existsAll = [](const std::filesystem::path&) { return true; };
  auto existsNone = [](const std::filesystem::path&) { return false; };
  struct Case {
    std::optional<std::string> existing;
    bool installed;
    bool (*exists)(const std::filesystem::path&);
    bool write;
  } cases[] = {
      {std::nullopt, false, existsAll, true},
      {other, false, existsNone, true},
      {other, false, existsAll, false},
      {other, true, existsAll, true},
      {DesktopEntry::text("com.tolvik.orlith.mac", here), true, existsAll, false},
      {std::string("[Desktop Entry]\nName=Orlith\n"), false, existsAll, true},
      {"[Desktop Entry]\nExec=\"" + here.string() + "\" %u\n", false, existsAll, false},
      {"[Desktop Entry]\nExec=" + here.string() + " %u\n", false, existsAll, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DesktopEntry::needsWriting(c.existing, here, c.installed, c.exists), c.write);
  // The entry an earlier version wrote for a path with a percent sign, which the desktop refuses.
  const std::filesystem::path percent = "/home/ann/100%/Orlith.app/Contents/MacOS/Orlith";
  EXPECT_TRUE(DesktopEntry::needsWriting(
      "[Desktop Entry]\nExec=\"/home/ann/100%%/Orlith.app/Contents/MacOS/Orlith\" %u\n", percent,
      false, existsAll));
  EXPECT_FALSE(DesktopEntry::needsWriting(DesktopEntry::text("com.tolvik.orlith.mac", percent),
                                          percent, false, existsAll));
}

}  // namespace
}  // namespace orlith
