// Replacing a file atomically on a real folder where links have been planted.
#include "base/FileContents.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "support/TemporaryDirectory.h"

namespace orlith {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& file) {
  return readFileContents(file, 1 << 20);
}

TEST(WriteFileAtomically, NeverWritesThroughAPlantedLink) {
  TemporaryDirectory directory;
  const fs::path victim = directory.path() / "profile";
  std::ofstream(victim) << "keep me";
  const fs::path folder = directory.path() / "applications";
  fs::create_directories(folder);
  const fs::path file = folder / "entry.desktop";
  // The names a writer might pick: a fixed one beside the file, and the file itself.
  for (const char* planted : {"entry.desktop.new", "entry.desktop"}) {
    fs::remove(file);
    fs::create_symlink(victim, folder / planted);
    writeFileAtomically(file, "new entry", 0644);
    EXPECT_EQ(contents(victim), "keep me") << planted;
    EXPECT_EQ(contents(file), "new entry") << planted;
    EXPECT_FALSE(fs::is_symlink(file)) << planted;
    struct stat status {};
    ASSERT_EQ(::lstat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644 & ~::umask(::umask(0))) << planted;
  }
  EXPECT_TRUE(fs::is_symlink(folder / "entry.desktop.new"));
}

TEST(WriteFileAtomically, AFailureLeavesTheOldFileAndNoTemporaryOne) {
  TemporaryDirectory directory;
  const fs::path file = directory.path() / "entry.desktop";
  std::ofstream(file) << "old";
  // A folder where the file should be cannot be replaced by a file.
  const fs::path blocked = directory.path() / "blocked";
  fs::create_directories(blocked / "inside");
  EXPECT_THROW(writeFileAtomically(blocked, "x", 0644), std::system_error);
  EXPECT_THROW(writeFileAtomically(directory.path() / "missing" / "f", "x", 0644),
               std::system_error);
  writeFileAtomically(file, "new", 0600);
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(directory.path()))
    ++entries;
  EXPECT_EQ(entries, 2u) << "the file and the folder, nothing left behind";
  EXPECT_EQ(contents(file), "new");
}

}  // namespace
}  // namespace orlith
