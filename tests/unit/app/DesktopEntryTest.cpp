// The desktop entry's text and when it is written.
#include <gmock/gmock.h>

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
  };
  for (const Case& c : cases)
    EXPECT_EQ(DesktopEntry::needsWriting(c.existing, here, c.installed, c.exists), c.write);
}

}  // namespace
}  // namespace orlith
