// Output settings over each store: defaults, clamps, the round trip; and
// where the game's archive is found.

#include <gtest/gtest.h>

#include <filesystem>

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

TEST(OutputSettingsTest, RatesAbove48000AndChannelsAbove2ReadAsTheSource) {
  MemoryStore store;
  SaveOutputSettings(store, {1, 96000, 6, 1});
  ExpectSettings(LoadOutputSettings(store), {1, -1, -1, 1});
  SaveOutputSettings(store, {2, 30000, 0, 7});  // nothing else is clamped
  ExpectSettings(LoadOutputSettings(store), {2, 30000, 0, 7});
  SaveOutputSettings(store, {0, 48000, 2, 0});
  ExpectSettings(LoadOutputSettings(store), {0, 48000, 2, 0});
  SaveOutputSettings(store, {0, -5, -2, 0});
  ExpectSettings(LoadOutputSettings(store), {0, -5, -2, 0});
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

TEST(GameArchiveTest, NoRecordedFolderFindsNothing) {
  MemoryStore store;
  EXPECT_EQ(FindGameArchive(store), "");
  store.SetData("Software\\Kestrel\\other", "InstallDir", "C:\\x");
  EXPECT_EQ(FindGameArchive(store), "");
}

class WinePrefixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (platform::GamePathToNative("C:\\x") == "C:\\x")
      GTEST_SKIP() << "the registry is the game's store here";
    SetEnvironment("WINEPREFIX", prefix_.path().string());
    std::filesystem::create_directories(prefix_.path() / "drive_c" / "Games" / "Mizukage");
    std::filesystem::create_directories(prefix_.path() / "dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", prefix_.path() / "dosdevices" / "c:");
    test::WriteBytes((prefix_.path() / "drive_c" / "Games" / "Mizukage" / "voice.arc").string(),
                     "arc");
  }
  test::TempDir prefix_;
};

TEST_F(WinePrefixTest, TheInstallFolderComesFromUserRegThroughTheDriveLetters) {
  test::WriteBytes(prefix_.File("user.reg"),
                   "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0\n\n"
                   "[Software\\\\Kestrel\\\\mizukage] 1700000000\n#time=1d9f0c4a8b2e3f0\n"
                   "\"InstallDir\"=\"C:\\\\games\\\\mizukage\\\\\"\n");
  const std::string path = FindGameArchive(*OpenGameStore());
  // Found whatever the case, as Windows finds it; the doubled backslash is harmless.
  EXPECT_EQ(path, prefix_.File("dosdevices") + "/c:/Games/Mizukage/voice.arc");
  EXPECT_EQ(test::ReadBytes(path), "arc");
}

TEST_F(WinePrefixTest, NoUserRegOrNoDriveLetterFindsNothing) {
  EXPECT_EQ(FindGameArchive(*OpenGameStore()), "");
  MemoryStore store;
  store.SetData("Software\\Kestrel\\mizukage", "InstallDir", "\\\\server\\share");
  EXPECT_EQ(FindGameArchive(store), "");
}

}  // namespace
}  // namespace kowaki
