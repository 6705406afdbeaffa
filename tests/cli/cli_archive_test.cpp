// kowaki-cli's archive commands, driven as a user drives them.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_index.h"
#include "archive/archive_writer.h"
#include "cli/commands.h"
#include "cli/output/json_output.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "tests/support/files.h"
#include "tests/support/run_command.h"
#include "tests/support/why.h"
#include "text/catalogue.h"

namespace kowaki::cli {
namespace {

using test::RunCommand;

// Every command's JSON is one line, as it always was: ", " and ": ",
// members in the order set, numbers with the places asked for, strings
// escaped as JSON has them.
TEST(JsonOutputTest, OneLineInTheOrderSet) {
  Json value;
  value["z"] = "a\"b\\c\n\x01こえ";
  value["a"] = Json::array({1, nullptr, true});
  value["seconds"] = 0.25;
  value["none"] = Json::object();
  EXPECT_EQ(JsonLine(value, 3),
            "{\"z\": \"a\\\"b\\\\c\\n\\u0001こえ\", \"a\": [1, null, true], \"seconds\": 0.250, "
            "\"none\": {}}");
  EXPECT_EQ(JsonLine(EntryRecord(7, "\x82\xb1z")),
            "{\"entry\": 7, \"name\": \"こz\", \"name_hex\": \"82b17a\"}");
}

class CliArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override { SetLanguage(Language::kEnglish); }
  std::string Pack(const std::vector<std::pair<std::string, std::string>>& entries) {
    ArchiveWriter writer;
    for (const auto& [name, data] : entries) EXPECT_EQ(test::Why(writer.AddBytes(name, data)), "");
    const std::string path = dir_.File("voice.arc");
    EXPECT_EQ(test::Why(writer.Write(path)), "");
    return path;
  }
  test::TempDir dir_;
};

TEST_F(CliArchiveTest, IndexPrintsOneJsonObject) {
  const std::string path =
      Pack({{"v_0001", "12345"}, {"\x82\xb1\x82\xa6", "ab"}, {"\x81\x20", ""}});
  test::CommandResult r = RunCommand(RunIndex, {path, "--json"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "{\"path\": " + JsonLine(PathForDisplay(path)) +
                       ", \"header_word\": 0, \"count\": 3, \"entries\": ["
                       "{\"entry\": 0, \"name\": \"v_0001\", \"name_hex\": \"765f30303031\", "
                       "\"size\": 5, \"offset\": 67}, "
                       "{\"entry\": 1, \"name\": \"こえ\", \"name_hex\": \"82b182a6\", "
                       "\"size\": 2, \"offset\": 72}, "
                       "{\"entry\": 2, \"name\": \"\\\\x81 \", \"name_hex\": \"8120\", "
                       "\"size\": 0, \"offset\": 74}]}\n");
}

TEST_F(CliArchiveTest, IndexPrintsATable) {
  const std::string path = Pack({{"v_0001", "12345"}, {"\x82\xb1\x82\xa6", "ab"}});
  test::CommandResult r = RunCommand(RunIndex, {path});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "entry  name            size      offset\n"
            "    0  v_0001             5          50\n"
            "    1  こえ               2          55\n");
}

// Names are the archive's, not the user's: nothing in them reaches the
// terminal as a control, in the table or in the JSON.
TEST_F(CliArchiveTest, IndexShowsControlsInNamesEscaped) {
  const std::string path = Pack({{"\x1b]0;x\x07", "1"}, {"a\nb\x7f", "2"}, {"\\x41", "3"}});
  test::CommandResult table = RunCommand(RunIndex, {path});
  ASSERT_EQ(table.code, kExitOk) << table.err;
  EXPECT_EQ(table.out,
            "entry  name            size      offset\n"
            "    0  \\x1b]0;x\\x07           1          67\n"
            "    1  a\\x0ab\\x7f           1          68\n"
            "    2  \\x41               1          69\n");
  test::CommandResult json = RunCommand(RunIndex, {path, "--json"});
  ASSERT_EQ(json.code, kExitOk) << json.err;
  EXPECT_NE(json.out.find("\"name\": \"\\\\x1b]0;x\\\\x07\", \"name_hex\": \"1b5d303b7807\""),
            std::string::npos)
      << json.out;
  for (const std::string& out : {table.out, json.out}) {
    EXPECT_EQ(out.find_first_of("\x1b\x07\x7f"), std::string::npos) << out;
  }
}

// The window's sentence and the cause, in English or in the system's
// Japanese, every line marked as kowaki-cli's.
TEST_F(CliArchiveTest, IndexReportsAnArchiveItCannotLoadInEitherLanguage) {
  const std::string missing = dir_.File("missing.arc");
  test::CommandResult r = RunCommand(RunIndex, {missing, "--json"});
  EXPECT_EQ(r.code, kExitError);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "kowaki-cli: cannot open " + PathForDisplay(missing) +
                       "\nkowaki-cli: check that the file exists and is the right file\n"
                       "kowaki-cli: (there is no such file)\n");
  SetLanguage(Language::kJapanese);
  r = RunCommand(RunIndex, {missing});
  SetLanguage(Language::kEnglish);
  EXPECT_EQ(
      r.err,
      "kowaki-cli: " + PathForDisplay(missing) +
          " を開くことができません\nkowaki-cli: ファイルが存在するか、正しいファイルであるか確認"
          "してください\nkowaki-cli: (ファイルがありません)\n");
  // A file that is no archive and no archive named: end to end.
  EXPECT_EQ(RunCommand(RunIndex, {missing, "--bogus"}).code, kExitError);
}

TEST_F(CliArchiveTest, PackNamesEntriesAfterTheFileStems) {
  test::WriteBytes(dir_.File("v_0001.ogg"), "one");
  test::WriteBytes(dir_.File("sys.end.ogg"), "two");
  test::WriteBytes(dir_.File("noext"), "three");
  const std::string out = dir_.File("out.arc");
  test::CommandResult r =
      RunCommand(RunPack, {"-o", out, "--header-word", "7", "--force", dir_.File("v_0001.ogg"),
                           dir_.File("sys.end.ogg"), dir_.File("noext")});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  ArchiveIndexPtr index = test::LoadIndex(out);
  ASSERT_TRUE(index);
  EXPECT_EQ(index->header_word, 7u);
  ASSERT_EQ(index->count, 3);
  EXPECT_STREQ(index->entries[0].name, "v_0001");
  EXPECT_STREQ(index->entries[1].name, "sys.end");
  EXPECT_STREQ(index->entries[2].name, "noext");
}

// Command-line stems are UTF-8 on every system (on Windows read from the
// wide command line, whatever the code page).
TEST_F(CliArchiveTest, PackStoresNamesInCodePage932) {
  std::string name;
  ASSERT_TRUE(EntryNameFromStem("こえ01", &name));
  EXPECT_EQ(name,
            "\x82\xb1\x82\xa6"
            "01");
}

// A file name writes a byte the name cannot hold as \xNN on Linux and
// macOS, where a backslash is no separator; on Windows a character whose
// code page 932 form ends in 0x5C keeps it.
TEST_F(CliArchiveTest, PackTakesTheNameAfterTheLastSeparatorOnly) {
#ifdef _WIN32
  const std::string name = "\x83\x5c";
  const std::string file = "ソ.ogg";
#else
  const std::string name = "x\x82\\y";
  const std::string file = "x\\x82\\y.ogg";
#endif
  // Joined by hand: a path object would read the name as UTF-8.
  const std::string path = dir_.path().string() + "/" + file;
  test::WriteBytes(path, "clip");
  const std::string out = dir_.File("out.arc");
  test::CommandResult r = RunCommand(RunPack, {"-o", out, "--force", path});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  ArchiveIndexPtr index = test::LoadIndex(out);
  ASSERT_TRUE(index);
  ASSERT_EQ(index->count, 1);
  EXPECT_EQ(std::string(index->entries[0].name), name);
}

// The archive replaces the file at its path once written: an input that is
// that file, however it is spelt, is refused before anything is read.
TEST_F(CliArchiveTest, PackRefusesToWriteOverOneOfItsInputs) {
  test::WriteBytes(dir_.File("a.ogg"), "first");
  test::WriteBytes(dir_.File("b.ogg"), "second");
  std::filesystem::create_directory(dir_.path() / "sub");
  const std::string other_spelling = dir_.File("sub") + "/../a.ogg";
  for (const std::string& output : {dir_.File("a.ogg"), other_spelling}) {
    test::CommandResult r =
        RunCommand(RunPack, {"-o", output, dir_.File("b.ogg"), dir_.File("a.ogg")});
    EXPECT_EQ(r.code, kExitError);
    EXPECT_NE(r.err.find("which this command reads"), std::string::npos) << r.err;
  }
  EXPECT_EQ(test::ReadBytes(dir_.File("a.ogg")), "first");
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"a.ogg", "b.ogg", "sub"}));
}

TEST_F(CliArchiveTest, PackLeavesNothingBehindOnError) {
  test::WriteBytes(dir_.File("ninebytes.ogg"), "x");
  test::WriteBytes(dir_.File("ok.ogg"), "x");
  const std::string out = dir_.File("out.arc");
  test::WriteBytes(out, "previous");

  test::CommandResult r =
      RunCommand(RunPack, {"-o", out, dir_.File("ok.ogg"), dir_.File("ninebytes.ogg")});
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("ninebytes.ogg"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("8 bytes"), std::string::npos) << r.err;

  r = RunCommand(RunPack, {"-o", out, dir_.File("ok.ogg"), dir_.File("missing.ogg")});
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("missing.ogg"), std::string::npos) << r.err;

  EXPECT_EQ(RunCommand(RunPack, {dir_.File("ok.ogg")}).code, kExitError);  // no -o
  EXPECT_EQ(RunCommand(RunPack, {"-o", out, "--header-word", "16777216", dir_.File("ok.ogg")}).code,
            kExitError);
  EXPECT_EQ(test::ReadBytes(out), "previous");
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"ninebytes.ogg", "ok.ogg", "out.arc"}));
}

TEST_F(CliArchiveTest, PackOfNothingMakesAnEmptyArchive) {
  const std::string out = dir_.File("empty.arc");
  ASSERT_EQ(RunCommand(RunPack, {"-o", out}).code, kExitOk);
  EXPECT_EQ(test::ReadBytes(out), test::ArchiveHeader(1, 0, 0, 16));
}

}  // namespace
}  // namespace kowaki::cli
