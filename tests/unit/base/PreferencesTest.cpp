// Tests for the preferences port (on both implementations) and for the JSON file behind it:
// typed round trips, the change signal, atomic replacement, failures, corrupt files, and a
// second process on the same file.
#include <fcntl.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <memory>
#include <system_error>

#include "base/Json.h"
#include "base/JsonFilePreferences.h"
#include "support/FakePreferences.h"
#include "support/ForkedProcess.h"
#include "support/TemporaryDirectory.h"

namespace orlith {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream input(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(input), {}};
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> fileNames(const fs::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

PreferenceData allBytes() {
  PreferenceData bytes;
  for (int i = 0; i < 256; ++i) {
    bytes.push_back(static_cast<std::uint8_t>(i));
  }
  return bytes;
}

const std::pair<std::string, PreferenceValue> kValues[] = {
    {"orlith.appearance", PreferenceValue(std::string("dark"))},
    {"orlith.empty", PreferenceValue(std::string())},
    {"orlith.unicode", PreferenceValue(std::string("caf\xC3\xA9 \xE2\x80\x99 \"q\" \\"))},
    {"orlith.sidebarCollapsed", PreferenceValue(true)},
    {"orlith.off", PreferenceValue(false)},
    {"orlith.tenth", PreferenceValue(0.1)},
    {"orlith.whole", PreferenceValue(3.0)},
    {"orlith.huge", PreferenceValue(-1.7976931348623157e308)},
    {"orlith.blob", PreferenceValue(allBytes())},
    {"orlith.noBytes", PreferenceValue(PreferenceData())},
};

// The port's behaviour, on both implementations.
struct Implementation {
  const char* name;
  std::function<std::unique_ptr<Preferences>(const fs::path& directory)> make;
};

const Implementation kImplementations[] = {
    {"Fake", [](const fs::path&) { return std::make_unique<FakePreferences>(); }},
    {"JsonFile",
     [](const fs::path& directory) {
       return std::make_unique<JsonFilePreferences>(directory / "preferences.json");
     }},
};

class PreferencesPortTest : public ::testing::TestWithParam<Implementation> {
 protected:
  TemporaryDirectory directory_;
  std::unique_ptr<Preferences> preferences_ = GetParam().make(directory_.path());
};

TEST_P(PreferencesPortTest, EachTypeRoundTrips) {
  for (const auto& [key, value] : kValues) {
    preferences_->setValue(key, value);
  }
  for (const auto& [key, value] : kValues) {
    EXPECT_EQ(preferences_->value(key), value) << key;
  }
  EXPECT_EQ(preferences_->string("orlith.appearance"), "dark");
  EXPECT_EQ(preferences_->boolean("orlith.off"), false);
  EXPECT_EQ(preferences_->number("orlith.tenth"), 0.1);
  EXPECT_EQ(preferences_->data("orlith.blob"), allBytes());
  EXPECT_EQ(preferences_->value("orlith.unset"), std::nullopt);
}

TEST_P(PreferencesPortTest, ValueOfAnotherTypeReadsAsAbsent) {
  preferences_->setString("k", "1");
  EXPECT_EQ(preferences_->boolean("k"), std::nullopt);
  EXPECT_EQ(preferences_->number("k"), std::nullopt);
  EXPECT_EQ(preferences_->integer("k"), std::nullopt);
  EXPECT_EQ(preferences_->data("k"), std::nullopt);
  preferences_->setBoolean("k", true);
  EXPECT_EQ(preferences_->string("k"), std::nullopt);
  EXPECT_EQ(preferences_->number("k"), std::nullopt);
}

TEST_P(PreferencesPortTest, IntegerReadsOnlyWholeNumbersInRange) {
  const std::pair<double, std::optional<std::int64_t>> kCases[] = {
      {3.0, 3},
      {-7.0, -7},
      {2.5, std::nullopt},
      {-9223372036854775808.0, INT64_MIN},
      {9223372036854775808.0, std::nullopt},
      {1e300, std::nullopt}};
  for (const auto& [number, expected] : kCases) {
    preferences_->setNumber("n", number);
    EXPECT_EQ(preferences_->integer("n"), expected) << number;
  }
}

TEST_P(PreferencesPortTest, ChangeSignalFiresOnlyWhenTheValueChanges) {
  std::vector<std::pair<std::string, std::optional<PreferenceValue>>> seen;
  preferences_->changed().connect(
      [&](const std::string& key) { seen.emplace_back(key, preferences_->value(key)); });

  preferences_->setString("a", "x");
  preferences_->setString("a", "x");
  preferences_->setNumber("a", 1);
  preferences_->setNumber("a", 1);
  preferences_->remove("a");
  preferences_->remove("a");
  preferences_->remove("never");

  ASSERT_EQ(seen.size(), 3u);
  // The handler already sees each new value.
  EXPECT_EQ(seen[0],
            std::make_pair(std::string("a"), std::optional<PreferenceValue>(std::string("x"))));
  EXPECT_EQ(seen[1].second, PreferenceValue(1.0));
  EXPECT_EQ(seen[2].second, std::nullopt);
}

TEST_P(PreferencesPortTest, NonFiniteNumberIsRefusedAndChangesNothing) {
  preferences_->setNumber("n", 1);
  int signals = 0;
  preferences_->changed().connect([&](const std::string&) { ++signals; });
  for (double bad :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    EXPECT_THROW(preferences_->setNumber("n", bad), std::invalid_argument);
  }
  EXPECT_EQ(preferences_->number("n"), 1.0);
  EXPECT_EQ(signals, 0);
}

INSTANTIATE_TEST_SUITE_P(Implementations, PreferencesPortTest,
                         ::testing::ValuesIn(kImplementations),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FakePreferencesTest, FailedWriteKeepsTheValueAndSignalsNothing) {
  FakePreferences preferences;
  preferences.setString("k", "old");
  int signals = 0;
  preferences.changed().connect([&](const std::string&) { ++signals; });
  preferences.setFailWrites(true);
  EXPECT_THROW(preferences.setString("k", "new"), std::system_error);
  EXPECT_THROW(preferences.remove("k"), std::system_error);
  EXPECT_EQ(preferences.string("k"), "old");
  EXPECT_EQ(signals, 0);
}

// The file and the lock file beside it, which writers share.
const std::vector<std::string> kOnlyTheFile{".preferences.json.lock", "preferences.json"};

class JsonFilePreferencesTest : public ::testing::Test {
 protected:
  fs::path folder() const { return directory_.path() / "config" / "orlith"; }
  fs::path file() const { return folder() / "preferences.json"; }

  TemporaryDirectory directory_;
};

TEST_F(JsonFilePreferencesTest, ValuesPersistAcrossInstancesInATypedFile) {
  {
    JsonFilePreferences preferences(file());
    EXPECT_EQ(preferences.loadOutcome(), JsonFilePreferences::LoadOutcome::Missing);
    for (const auto& [key, value] : kValues) {
      preferences.setValue(key, value);
    }
    preferences.setString("gone", "soon");
    preferences.remove("gone");
  }
  JsonFilePreferences reloaded(file());
  EXPECT_EQ(reloaded.loadOutcome(), JsonFilePreferences::LoadOutcome::Loaded);
  for (const auto& [key, value] : kValues) {
    EXPECT_EQ(reloaded.value(key), value) << key;
  }
  EXPECT_EQ(reloaded.value("gone"), std::nullopt);

  Json document = parseJson(readFile(file()));
  EXPECT_EQ(document["orlith.appearance"], "dark");
  EXPECT_EQ(document["orlith.sidebarCollapsed"], true);
  EXPECT_TRUE(document["orlith.tenth"].is_number());
  EXPECT_EQ(document["orlith.noBytes"], Json({{"$data", ""}}));
  EXPECT_FALSE(document.contains("gone"));
}

TEST_F(JsonFilePreferencesTest, CreatesPrivateFolderAndFile) {
  JsonFilePreferences preferences(file());
  preferences.setBoolean("k", true);
  EXPECT_EQ(fs::status(folder()).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(folder().parent_path()).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(file()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(fileNames(folder()), kOnlyTheFile);
}

TEST_F(JsonFilePreferencesTest, EntriesOfUnknownFormReadAbsentAndSurviveWrites) {
  fs::create_directories(folder());
  writeFile(file(), R"({"list": [1], "nothing": null, "object": {"$data": "Zg==", "x": 1},
                        "badData": {"$data": "***"}, "kept": "yes"})");
  JsonFilePreferences preferences(file());
  for (const char* key : {"list", "nothing", "object", "badData"}) {
    EXPECT_EQ(preferences.value(key), std::nullopt) << key;
  }
  preferences.setString("new", "value");
  Json document = parseJson(readFile(file()));
  EXPECT_EQ(document["list"], Json::array({1}));
  EXPECT_EQ(document["badData"], Json({{"$data", "***"}}));
  EXPECT_EQ(document["kept"], "yes");
}

TEST_F(JsonFilePreferencesTest, CrashBeforeRenameLeavesOldValuesAndTheStrayIsCleared) {
  {
    JsonFilePreferences preferences(file());
    preferences.setString("k", "old");
  }
  // What a crash between writing the temporary file and renaming it leaves behind.
  writeFile(folder() / ".preferences.json.tmp-1a2b3c4d", R"({"k": "new, never committed"})");
  writeFile(folder() / ".preferences.json.tmp-torn", R"({"k": "ne)");

  JsonFilePreferences preferences(file());
  EXPECT_EQ(preferences.loadOutcome(), JsonFilePreferences::LoadOutcome::Loaded);
  EXPECT_EQ(preferences.string("k"), "old");
  EXPECT_EQ(fileNames(folder()), kOnlyTheFile);
}

// Makes every write past `bytes` of a file fail with EFBIG, as a full disk would; root is not
// exempt from this limit.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    ::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  sighandler_t previousHandler_;
};

TEST_F(JsonFilePreferencesTest, FailedWriteKeepsOldFileAndValue) {
  JsonFilePreferences preferences(file());
  preferences.setString("k", "old");
  const std::string before = readFile(file());
  int signals = 0;
  preferences.changed().connect([&](const std::string&) { ++signals; });
  {
    FileSizeLimit limit(before.size() + 8);
    try {
      preferences.setString("k", std::string(4096, 'n'));
      FAIL() << "the write did not fail";
    } catch (const std::system_error& error) {
      EXPECT_EQ(error.code(), std::errc::file_too_large);
    }
  }
  EXPECT_EQ(preferences.string("k"), "old");
  EXPECT_EQ(signals, 0);
  EXPECT_EQ(readFile(file()), before);
  EXPECT_EQ(fileNames(folder()), kOnlyTheFile);

  preferences.setString("k", "later");
  EXPECT_EQ(JsonFilePreferences(file()).string("k"), "later");
  EXPECT_EQ(signals, 1);
}

TEST_F(JsonFilePreferencesTest, UnwritableFolderThrowsAndKeepsTheValue) {
  fs::create_directories(directory_.path());
  writeFile(directory_.path() / "plain", "a file where a folder should be");
  JsonFilePreferences preferences(directory_.path() / "plain" / "preferences.json");
  EXPECT_EQ(preferences.loadOutcome(), JsonFilePreferences::LoadOutcome::Missing);
  EXPECT_THROW(preferences.setBoolean("k", true), std::system_error);
  EXPECT_EQ(preferences.boolean("k"), std::nullopt);
}

TEST_F(JsonFilePreferencesTest, InvalidUtf8IsRefusedWithoutTouchingTheFile) {
  JsonFilePreferences preferences(file());
  preferences.setString("k", "old");
  EXPECT_THROW(preferences.setString("k", "\xFF"), std::invalid_argument);
  EXPECT_THROW(preferences.setString("\xC3", "v"), std::invalid_argument);
  EXPECT_EQ(preferences.string("k"), "old");
  EXPECT_EQ(JsonFilePreferences(file()).string("k"), "old");
}

TEST_F(JsonFilePreferencesTest, CorruptFileIsKeptAsideBeforeTheFirstWrite) {
  fs::create_directories(folder());
  for (const std::string& corrupt : {std::string("{\"k\": tru"), std::string("[1, 2]")}) {
    writeFile(file(), corrupt);
    JsonFilePreferences preferences(file());
    EXPECT_EQ(preferences.loadOutcome(), JsonFilePreferences::LoadOutcome::Corrupt);
    EXPECT_EQ(preferences.value("k"), std::nullopt);
    // Reading alone leaves the file where it is.
    EXPECT_EQ(readFile(file()), corrupt);
    preferences.setString("k", "fresh");
    preferences.setString("k", "fresher");
  }
  EXPECT_EQ(readFile(folder() / "preferences.json.corrupt"), "{\"k\": tru");
  EXPECT_EQ(readFile(folder() / "preferences.json.corrupt.1"), "[1, 2]");
  EXPECT_EQ(JsonFilePreferences(file()).string("k"), "fresher");
  EXPECT_EQ(fileNames(folder()),
            (std::vector<std::string>{".preferences.json.lock", "preferences.json",
                                      "preferences.json.corrupt", "preferences.json.corrupt.1"}));
}

TEST_F(JsonFilePreferencesTest, TwoProcessesWritingAtOnceKeepEachOthersKeys) {
  constexpr int kWrites = 100;
  JsonFilePreferences preferences(file());
  std::vector<std::string> signalled;
  preferences.changed().connect([&](const std::string& key) { signalled.push_back(key); });
  testing::ForkedProcess other([&] {
    JsonFilePreferences own(file());
    for (int i = 1; i <= kWrites; ++i)
      own.setNumber("other", i);
    return 0;
  });
  for (int i = 1; i <= kWrites; ++i)
    preferences.setNumber("mine", i);
  ASSERT_EQ(other.wait(std::chrono::seconds(30)), 0);

  JsonFilePreferences reread(file());
  EXPECT_EQ(reread.number("mine"), kWrites);
  EXPECT_EQ(reread.number("other"), kWrites);
  preferences.reload();
  EXPECT_EQ(preferences.number("other"), kWrites);
  EXPECT_NE(std::find(signalled.begin(), signalled.end(), "other"), signalled.end());
}

TEST_F(JsonFilePreferencesTest, AStaleCopyNeverWritesBackWithdrawnConsent) {
  fs::create_directories(folder());
  writeFile(file(), R"({"orlith.diagnostics": true, "orlith.pageZoom": 1.0})");
  JsonFilePreferences preferences(file());
  std::vector<std::string> signalled;
  preferences.changed().connect([&](const std::string& key) { signalled.push_back(key); });
  testing::ForkedProcess other([&] {
    JsonFilePreferences own(file());
    own.setBoolean("orlith.diagnostics", false);
    own.setNumber("orlith.pageZoom", 1.5);
    return 0;
  });
  ASSERT_EQ(other.wait(std::chrono::seconds(10)), 0);

  // Written before this process has looked at the file again.
  preferences.setString("orlith.tabs", "record");
  EXPECT_EQ(JsonFilePreferences(file()).boolean("orlith.diagnostics"), false);
  EXPECT_EQ(preferences.boolean("orlith.diagnostics"), false);
  EXPECT_EQ(signalled,
            (std::vector<std::string>{"orlith.diagnostics", "orlith.pageZoom", "orlith.tabs"}));
}

TEST_F(JsonFilePreferencesTest, AValueIsComparedWithTheFileAsItIsNow) {
  fs::create_directories(folder());
  writeFile(file(), R"({"orlith.pageZoom": 1.0})");
  JsonFilePreferences preferences(file());
  testing::ForkedProcess other([&] {
    JsonFilePreferences(file()).setNumber("orlith.pageZoom", 1.5);
    return 0;
  });
  ASSERT_EQ(other.wait(std::chrono::seconds(10)), 0);
  // The stale copy holds 1.0 still; the person's choice of 1.0 must reach the file.
  preferences.setNumber("orlith.pageZoom", 1.0);
  EXPECT_EQ(JsonFilePreferences(file()).number("orlith.pageZoom"), 1.0);
}

TEST_F(JsonFilePreferencesTest, AWriteWaitsForAnotherProcesssLockOnlyWithinItsBound) {
  JsonFilePreferences preferences(file(), std::chrono::milliseconds(200));
  preferences.setString("k", "old");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  auto holder = std::make_unique<testing::ForkedProcess>([&] {
    const int fd = ::open((folder() / ".preferences.json.lock").c_str(), O_RDWR);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
      return 1;
    [[maybe_unused]] auto written = ::write(ready[1], "x", 1);
    ::pause();
    return 0;
  });
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);

  const auto start = std::chrono::steady_clock::now();
  try {
    preferences.setString("k", "new");
    FAIL() << "wrote while another process held the lock";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code(), std::errc::timed_out);
  }
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(200));
  EXPECT_LT(waited, std::chrono::seconds(5));
  EXPECT_EQ(preferences.string("k"), "old");
  // A start while another process writes leaves that write's temporary file alone.
  const fs::path inFlight = folder() / ".preferences.json.tmp-0f1e2d3c";
  writeFile(inFlight, R"({"k": "theirs"})");
  EXPECT_EQ(JsonFilePreferences(file()).string("k"), "old");
  EXPECT_TRUE(fs::exists(inFlight));

  holder.reset();
  preferences.setString("k", "new");
  // The write that timed out has its lock for a moment too, once it is free.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (fs::exists(inFlight) && std::chrono::steady_clock::now() < deadline)
    JsonFilePreferences sweeps(file());
  EXPECT_FALSE(fs::exists(inFlight));
  EXPECT_EQ(JsonFilePreferences(file()).string("k"), "new");
}

TEST_F(JsonFilePreferencesTest, ReloadFollowsTheFileButNotAnUnreadableOne) {
  JsonFilePreferences writer(file());
  JsonFilePreferences reader(file());
  std::vector<std::string> signalled;
  reader.changed().connect([&](const std::string& key) { signalled.push_back(key); });
  writer.setString("a", "1");
  writer.setString("b", "2");
  reader.reload();
  EXPECT_EQ(reader.string("a"), "1");
  EXPECT_EQ(signalled, (std::vector<std::string>{"a", "b"}));
  reader.reload();
  EXPECT_EQ(signalled.size(), 2u) << "an unchanged file changes nothing";

  writeFile(file(), "{\"a\": tr");
  reader.reload();
  EXPECT_EQ(reader.string("b"), "2");
  // Written over, the damaged file keeps what this process read before it.
  reader.setString("c", "3");
  EXPECT_EQ(readFile(folder() / "preferences.json.corrupt"), "{\"a\": tr");
  EXPECT_EQ(JsonFilePreferences(file()).string("b"), "2");
  fs::remove(file());
  reader.reload();
  EXPECT_EQ(reader.value("a"), std::nullopt);
  EXPECT_EQ(signalled, (std::vector<std::string>{"a", "b", "c", "a", "b", "c"}));
}

TEST(JsonFilePreferencesPathTest, DefaultPathIsInTheUserConfigFolder) {
  EXPECT_EQ(JsonFilePreferences::defaultPath(),
            fs::path(g_get_user_config_dir()) / "orlith" / "preferences.json");
}

}  // namespace
}  // namespace orlith
