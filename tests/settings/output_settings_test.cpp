// Output settings over each store: defaults, clamps, the round trip; and
// where the game's archive is found.

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "settings/game_archive.h"
#include "settings/memory_store.h"
#include "settings/output_settings.h"
#include "tests/support/files.h"
#include "tests/support/run_command.h"

namespace kowaki {
namespace {

void ExpectSettings(const OutputSettings& got, OutputSettings want) {
  EXPECT_EQ(got.type, want.type);
  EXPECT_EQ(got.frq, want.frq);
  EXPECT_EQ(got.ch, want.ch);
  EXPECT_EQ(got.merge, want.merge);
}

using test::SetEnvironment;

TEST(OutputSettingsTest, NothingStoredGivesTheDefaults) {
  MemoryStore store;
  ExpectSettings(LoadOutputSettings(store), {0, -1, -1, 0});
  store.SetData(kSettingsKey, "ch", WordData(2));  // one value present, the rest missing
  ExpectSettings(LoadOutputSettings(store), {0, -1, 2, 0});
}

// As the settings dialog shows them: a rate as the largest offered one not
// above it, below 8000 and above 48000 as the source's; channels other
// than 1 and 2 as the source's; type 2 as FLAC (which the window's dialog
// shows as WAV), any other but 0 as WAV; any merge but 0 on.
TEST(OutputSettingsTest, ValuesReadAsTheSettingsDialogShowsThem) {
  const struct {
    OutputSettings stored, read;
  } cases[] = {
      {{1, 96000, 6, 1}, {1, -1, -1, 1}},   {{2, 30000, 0, 7}, {2, 24000, -1, 1}},
      {{3, 22050, 2, 0}, {1, 22050, 2, 0}}, {{0, 48000, 2, 0}, {0, 48000, 2, 0}},
      {{0, -5, -2, 0}, {0, -1, -1, 0}},     {{1, 1, 1, -3}, {1, -1, 1, 1}},
      {{1, 7999, 3, 0}, {1, -1, -1, 0}},    {{1, 8000, 1, 0}, {1, 8000, 1, 0}},
      {{1, 48001, 2, 0}, {1, -1, 2, 0}},    {{1, 44099, -1, 0}, {1, 32000, -1, 0}},
  };
  for (const auto& c : cases) {
    MemoryStore store;
    SaveOutputSettings(store, c.stored);
    SCOPED_TRACE(c.stored.frq);
    ExpectSettings(LoadOutputSettings(store), c.read);
  }
}

TEST(OutputSettingsTest, ValuesThatAreNotFourBytesGiveTheDefault) {
  MemoryStore store;
  store.SetData(kSettingsKey, "type", std::string("\x01\x00\x00\x00\x00", 5));
  store.SetData(kSettingsKey, "frq", std::string("\x22\x56", 2));
  store.SetData(kSettingsKey, "merge", WordData(1));
  ExpectSettings(LoadOutputSettings(store), {0, -1, -1, 1});
}

TEST(OutputSettingsTest, SavingWhereNothingCanBeWrittenChangesNothing) {
  MemoryStore store;
  SaveOutputSettings(store, {1, 22050, 1, 0});
  store.set_read_only(true);
  SaveOutputSettings(store, {0, -1, -1, 1});
  ExpectSettings(LoadOutputSettings(store), {1, 22050, 1, 0});
}

TEST(OutputSettingsTest, TheUserStoreKeepsTheSettingsUnderTheirNames) {
  test::TempDir home;
  SetEnvironment("XDG_CONFIG_HOME", home.File("config"));  // where a file store keeps them
  auto store = OpenSettingsStore();
  ASSERT_TRUE(store->RemoveKey(kSettingsKey));
  ExpectSettings(LoadOutputSettings(*store), {0, -1, -1, 0});
  SaveOutputSettings(*store, {1, 22050, 1, 1});
  ExpectSettings(LoadOutputSettings(*OpenSettingsStore()), {1, 22050, 1, 1});
  EXPECT_EQ(store->Read("SOFTWARE\\Tobira\\KOWAKI.EXE", "FRQ"), WordData(22050));
  const std::string file = home.File("config") + "/kowaki/settings.reg";
  if (std::filesystem::exists(file)) {
    const std::string text = test::ReadBytes(file);
    EXPECT_NE(
        text.find("[Software\\\\tobira\\\\kowaki.exe]\n\"type\"=dword:00000001\n"
                  "\"frq\"=dword:00005622\n\"ch\"=dword:00000001\n\"merge\"=dword:00000001\n"),
        std::string::npos)
        << text;
  }
  EXPECT_TRUE(store->RemoveKey(kSettingsKey));
  ExpectSettings(LoadOutputSettings(*store), {0, -1, -1, 0});
}

#ifndef _WIN32
// The file store: a relative XDG_CONFIG_HOME is no place (the convention
// says to ignore it), and a settings file that is not a regular file of a
// sensible size is not read, nor written over.
TEST(OutputSettingsTest, TheFileStoreIgnoresWhatIsNoSettingsFile) {
  test::TempDir home;
  const char* old_home = std::getenv("HOME");
  const std::string kept_home = old_home ? old_home : "";
  SetEnvironment("HOME", home.path().string());
  SetEnvironment("XDG_CONFIG_HOME", "relative");
  SaveOutputSettings(*OpenSettingsStore(), {1, 22050, 1, 0});
  EXPECT_TRUE(std::filesystem::exists(home.File(".config/kowaki/settings.reg")));
  EXPECT_FALSE(std::filesystem::exists("relative"));
  SetEnvironment("HOME", kept_home);

  SetEnvironment("XDG_CONFIG_HOME", home.File("config"));
  const std::string file = home.File("config/kowaki/settings.reg");
  std::filesystem::create_directories(home.File("config/kowaki"));
  test::WriteBytes(file, "[Software\\\\tobira\\\\kowaki.exe]\n\"type\"=dword:00000001\n");
  ExpectSettings(LoadOutputSettings(*OpenSettingsStore()), {1, -1, -1, 0});
  std::filesystem::resize_file(file, uintmax_t{300} << 20);  // sparse: no disk used
  ExpectSettings(LoadOutputSettings(*OpenSettingsStore()), {0, -1, -1, 0});
  SaveOutputSettings(*OpenSettingsStore(), {1, 8000, 2, 1});
  EXPECT_EQ(std::filesystem::file_size(file), uintmax_t{300} << 20);

  std::filesystem::remove(file);
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);  // reading would wait for a writer
  ExpectSettings(LoadOutputSettings(*OpenSettingsStore()), {0, -1, -1, 0});
  SaveOutputSettings(*OpenSettingsStore(), {1, 8000, 2, 1});
  EXPECT_TRUE(std::filesystem::is_fifo(file));
}
#endif

TEST(GameArchiveTest, NoRecordedFolderFindsNothing) {
  MemoryStore store;
  EXPECT_EQ(RecordedGameArchive(store, "/prefix"), "");
  store.SetData("Software\\Kestrel\\other", "InstallDir", "C:\\x");
  EXPECT_EQ(RecordedGameArchive(store, "/prefix"), "");
}

#ifndef _WIN32
// A home folder with Wine prefixes where Wine, Steam's Proton and Lutris
// put them; the game's record in some of them.
class WinePrefixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* home = std::getenv("HOME");
    kept_home_ = home ? home : "";
    SetEnvironment("HOME", home_.path().string());
    for (const char* name : {"WINEPREFIX", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
      SetEnvironment(name, "");
  }
  void TearDown() override { SetEnvironment("HOME", kept_home_); }

  // A prefix at `prefix` (in the home folder) whose user.reg records the
  // game in `folder` of drive C:, with its archive there when `archive`.
  std::string MakePrefix(const std::string& prefix, const std::string& folder, bool archive) {
    const std::filesystem::path root = home_.path() / prefix;
    std::filesystem::create_directories(root / "drive_c" / folder);
    std::filesystem::create_directories(root / "dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", root / "dosdevices" / "c:");
    if (archive) test::WriteBytes((root / "drive_c" / folder / "voice.arc").string(), prefix);
    std::string recorded = folder;  // as the registry file writes "Games\\X"
    for (size_t at = 0; (at = recorded.find('/', at)) != std::string::npos; at += 2)
      recorded.replace(at, 1, "\\\\");
    test::WriteBytes((root / "user.reg").string(),
                     "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0\n\n"
                     "[Software\\\\Kestrel\\\\mizukage] 1700000000\n#time=1d9f0c4a8b2e3f0\n"
                     "\"InstallDir\"=\"C:\\\\" +
                         recorded + "\\\\\"\n");
    return root.string();
  }

  test::TempDir home_;
  std::string kept_home_;
};

TEST_F(WinePrefixTest, TheInstallFolderComesFromUserRegThroughTheDriveLetters) {
  const std::string prefix = MakePrefix("wine", "Games/Mizukage", true);
  SetEnvironment("WINEPREFIX", prefix);
  // The record says "C:\Games\Mizukage\": found whatever the case, as
  // Windows finds it; the doubled backslash is harmless.
  std::filesystem::rename(prefix + "/drive_c/Games/Mizukage", prefix + "/drive_c/Games/MIZUKAGE");
  const GameArchive game = FindGameArchive();
  EXPECT_EQ(game.path, prefix + "/dosdevices/c:/Games/MIZUKAGE/voice.arc");
  EXPECT_EQ(test::ReadBytes(game.path), "wine");
  EXPECT_EQ(RecordedGameArchive(*OpenGameStores(prefix).places[0].store, ""), "");
}

// Proton's prefixes in every Steam library (the one Steam is installed in,
// those its library list names, each once however reached), then Lutris'
// games; a prefix whose archive is gone yields to one that has it.
TEST_F(WinePrefixTest, SteamAndLutrisPrefixesAreSearchedInTurn) {
  const std::string steam = home_.File(".local/share/Steam");
  MakePrefix(".local/share/Steam/steamapps/compatdata/200/pfx", "Mizukage", false);
  std::filesystem::create_directories(steam + "/steamapps/compatdata/7/pfx");
  std::filesystem::create_directories(home_.File(".steam"));
  std::filesystem::create_directory_symlink(steam, home_.File(".steam/steam"));
  const std::string library = home_.File("disk2/SteamLibrary");
  test::WriteBytes(steam + "/steamapps/libraryfolders.vdf",
                   "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + steam +
                       "\"\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" + library +
                       "\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"300\"\t\t\"123\"\n\t\t}\n\t}\n}\n");
  const std::string proton =
      MakePrefix("disk2/SteamLibrary/steamapps/compatdata/300/pfx", "G", true);
  std::filesystem::create_directories(home_.File(".config/lutris/games"));
  test::WriteBytes(
      home_.File(".config/lutris/games/mizukage-1.yml"),
      "game:\n  exe: drive_c/L/game.exe\n  prefix: '~/Games/mizukage'\nwine:\n  version: x\n");
  const std::string lutris = MakePrefix("Games/mizukage", "L", true);

  GameArchive game = FindGameArchive();
  EXPECT_EQ(game.path, proton + "/dosdevices/c:/G/voice.arc");
  using Kind = GameSearchPlace::Kind;
  ASSERT_EQ(game.looked_in.size(), 4u);
  EXPECT_EQ(game.looked_in[0].kind, Kind::kWinePrefix);
  EXPECT_EQ(game.looked_in[0].path, home_.File(".wine"));
  EXPECT_EQ(game.looked_in[1].kind, Kind::kProtonPrefixes);
  EXPECT_EQ(game.looked_in[1].path, steam + "/steamapps/compatdata");
  EXPECT_EQ(game.looked_in[1].count, 2);
  EXPECT_EQ(game.looked_in[2].path, library + "/steamapps/compatdata");
  EXPECT_EQ(game.looked_in[3].kind, Kind::kLutrisGames);
  EXPECT_EQ(game.looked_in[3].count, 1);

  std::filesystem::remove_all(library);
  EXPECT_EQ(FindGameArchive().path, lutris + "/dosdevices/c:/L/voice.arc");
  // Given a prefix, only that one.
  EXPECT_EQ(FindGameArchive(proton).looked_in.size(), 1u);
  EXPECT_EQ(FindGameArchive(home_.File("nowhere")).path, "");
}

TEST_F(WinePrefixTest, AMissingArchiveIsNamedWhenNoPrefixHasOne) {
  const std::string prefix = MakePrefix(".wine", "Mizukage", false);
  EXPECT_EQ(FindGameArchive().path, prefix + "/dosdevices/c:/Mizukage/voice.arc");
  MemoryStore store;
  store.SetData("Software\\Kestrel\\mizukage", "InstallDir", "\\\\server\\share");
  EXPECT_EQ(RecordedGameArchive(store, prefix), "");
}
#endif

}  // namespace
}  // namespace kowaki
