// unpack, pack --from, replace and verify, driven as a modder drives them.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_index.h"
#include "cli/commands.h"
#include "common/little_endian.h"
#include "modding/manifest.h"
#include "tests/support/files.h"
#include "tests/support/run_command.h"
#include "text/catalogue.h"

namespace kowaki::cli {
namespace {

using namespace std::string_view_literals;
using test::ReadBytes;
using test::RunCommand;
using test::WriteBytes;

struct Stored {
  std::string_view field;  // the name bytes as stored, up to 8
  std::string data;
};

// An archive image with its entries one after another in table order.
std::string Contiguous(uint32_t header_word, const std::vector<Stored>& entries) {
  std::string table, data;
  uint32_t offset = static_cast<uint32_t>(16 + 17 * entries.size());
  for (const Stored& entry : entries) {
    std::string field(entry.field);
    field.resize(kArchiveNameSize, '\0');
    table += test::Record(field, static_cast<uint32_t>(entry.data.size()), offset);
    offset += static_cast<uint32_t>(entry.data.size());
    data += entry.data;
  }
  return test::ArchiveHeader(1, header_word, static_cast<uint32_t>(entries.size()), 16) + table +
         data;
}

class CliModdingTest : public ::testing::Test {
 protected:
  void SetUp() override { SetLanguage(Language::kEnglish); }
  std::string Archive(const std::string& bytes, const std::string& name = "voice.arc") {
    WriteBytes(dir_.File(name), bytes);
    return dir_.File(name);
  }
  // unpack into `folder`; the exit code.
  int Unpack(const std::string& archive, const std::string& folder, std::string* err = nullptr) {
    test::CommandResult r = RunCommand(RunUnpack, {archive, dir_.File(folder)});
    if (err) *err = r.err;
    return r.code;
  }
  test::CommandResult PackFrom(const std::string& folder, const std::string& out,
                               bool force = false) {
    std::vector<std::string> args = {"-o", dir_.File(out), "--from", dir_.File(folder)};
    if (force) args.push_back("--force");
    return RunCommand(RunPack, args);
  }
  // unpack then pack --from gives back the archive byte for byte.
  void ExpectRoundTrip(const std::string& archive) {
    ASSERT_EQ(Unpack(archive, "un"), kExitOk);
    test::CommandResult r = PackFrom("un", "again.arc");
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out.find("laid out"), std::string::npos) << r.out;
    EXPECT_TRUE(ReadBytes(dir_.File("again.arc")) == ReadBytes(archive));
  }
  std::string Manifest(const std::string& folder) {
    return ReadBytes(dir_.File(folder + "/" + kManifestFileName));
  }

  test::TempDir dir_;
  const std::string clip_ = test::VorbisClip(22050, 1, 0.4, 1);
  const std::string other_ = test::VorbisClip(16000, 2, 0.3, 2);
};

// A failed unpack leaves no manifest, not even the one an earlier unpack
// wrote there: beside this archive's files it would describe neither.
TEST_F(CliModdingTest, AFailedUnpackLeavesNoManifest) {
  ASSERT_EQ(Unpack(Archive(Contiguous(0, {{"a", clip_}})), "un"), kExitOk);
  std::filesystem::create_directories(dir_.File("un/b.ogg"));  // where b would go
  EXPECT_EQ(Unpack(Archive(Contiguous(0, {{"b", clip_}}), "b.arc"), "un"), kExitIncomplete);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("un/" + std::string(kManifestFileName))));
}

#ifdef KOWAKI_DEMO_ARCHIVE
TEST_F(CliModdingTest, DemoArchiveComesBackByteForByte) {
  ExpectRoundTrip(KOWAKI_DEMO_ARCHIVE);
  // Every entry has its file, the one that is no Ogg data as .bin.
  EXPECT_EQ(dir_.List().size(), 2u);
  EXPECT_EQ(ReadBytes(dir_.File("un/readme.bin")), "This entry is plain text, not a voice clip.\n");
  EXPECT_NE(Manifest("un").find("\nentry v_0001 "), std::string::npos);
}
#endif

TEST_F(CliModdingTest, OddArchivesComeBackByteForByte) {
  ExpectRoundTrip(Archive(Contiguous(
      0x123456, {{"v_0001", clip_},
                 {"readme", "not a clip"},
                 {"empty", ""},
                 {"v_0001", other_},
                 {"V_0001", "x"},
                 {"a/b", "1"},
                 {"..", "2"},
                 {"CON", "3"},
                 {"%41 \x1b", "4"},
                 {"\x82\xb1\x82\xa6\x82", "5"},  // こえ and a lead byte without its trail
                 {"", "6"},
                 {"ab\0xyz"sv, "7"},  // bytes after the name's end are kept too
                 {"12345678", "8"}})));
  const std::string manifest = Manifest("un");
  EXPECT_NE(manifest.find("header-word 0x00123456\nlayout contiguous\n"), std::string::npos);
  EXPECT_NE(manifest.find("\nentry ab%00xyz 1 "), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("\nentry %00 1 "), std::string::npos) << manifest;
  // Names that are no file name are escaped, the same name twice numbered.
  for (const char* file : {"v_0001.ogg", "v_0001~3.ogg", "V_0001~4.bin", "a%2Fb.bin", "%2E..bin",
                           "%43ON.bin", "empty.bin", "%00.bin"}) {
    EXPECT_NE(manifest.find(std::string(" ") + file + "\n"), std::string::npos) << file;
  }
  ExpectRoundTrip(Archive(Contiguous(0, {})));
}

// The manifest's lines are checked, and so is each file, before anything is written.
TEST_F(CliModdingTest, PackFromRefusesWhatWouldNotGiveTheGameAnArchive) {
  const std::string archive = Archive(Contiguous(0, {{"v1", clip_}, {"v2", clip_}}));
  ASSERT_EQ(Unpack(archive, "un"), kExitOk);
  std::remove(dir_.File("un/v2.ogg").c_str());
  test::CommandResult r = PackFrom("un", "new.arc");
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("entry 1 (v2): cannot read"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("new.arc")));

  WriteBytes(dir_.File("un/v2.ogg"), "RIFF....WAVE");
  r = PackFrom("un", "new.arc");
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("not Ogg Vorbis (--force takes it all the same)"), std::string::npos)
      << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("new.arc")));
  r = PackFrom("un", "new.arc", true);
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.out.find("2 entries packed into"), std::string::npos);
  EXPECT_NE(r.out.find(", 1 changed"), std::string::npos);

  // A new recording is the whole workflow; a manifest leads to no file outside its folder.
  WriteBytes(dir_.File("un/v2.ogg"), other_);
  r = PackFrom("un", "new.arc");
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(ReadBytes(dir_.File("new.arc")) == Contiguous(0, {{"v1", clip_}, {"v2", other_}}));
  std::string manifest = Manifest("un");
  manifest.replace(manifest.find(" v1.ogg"), 7, " ../voice.arc");
  WriteBytes(dir_.File("un/manifest.txt"), manifest);
  r = PackFrom("un", "other.arc");
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("is not a file in the folder"), std::string::npos) << r.err;
}

// Entries that share bytes, leave gaps or lie outside the file: the same
// index, laid out one after another, and the report says so.
TEST_F(CliModdingTest, AnArchiveOfAnotherLayoutKeepsItsIndex) {
  std::string image =
      test::ArchiveHeader(1, 5, 4, 16) + test::Record("a\0\0\0\0\0\0\0\0"sv, 4, 90) +
      test::Record("b\0\0\0\0\0\0\0\0"sv, 4, 84) + test::Record("c\0\0\0\0\0\0\0\0"sv, 2, 86) +
      test::Record("d\0\0\0\0\0\0\0\0"sv, 50, 92) + "zzzzzz" + "a123";
  const std::string archive = Archive(image);
  std::string err;
  EXPECT_EQ(Unpack(archive, "un", &err), kExitIncomplete);
  EXPECT_NE(err.find("entry 3 (d) not unpacked: it ends at byte 142, past the end of the archive "
                     "(94 bytes)"),
            std::string::npos)
      << err;
  const std::string manifest = Manifest("un");
  // a overlaps what d claims.
  EXPECT_NE(manifest.find("layout rearranged\nshared a 4 "), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("\nshared b 4 "), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("\nshared c 2 "), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("\noutside d 50 ends at byte 142"), std::string::npos) << manifest;

  test::CommandResult r = PackFrom("un", "new.arc");
  EXPECT_EQ(r.code, kExitIncomplete);
  EXPECT_NE(r.err.find("entry 3 (d): no data, since it ends at byte 142"), std::string::npos);
  EXPECT_NE(r.out.find("the same index, laid out one after another"), std::string::npos);
  EXPECT_TRUE(ReadBytes(dir_.File("new.arc")) ==
              Contiguous(5, {{"a", "a123"}, {"b", "zzzz"}, {"c", "zz"}, {"d", ""}}));
}

// Replacing one entry changes that entry only; on any failure the archive
// stays as it was.
TEST_F(CliModdingTest, ReplaceChangesOnlyTheEntriesItNames) {
  const std::vector<Stored> entries = {
      {"v_0001", clip_}, {"sys_end", clip_}, {"readme", "text"}, {"v_0002", clip_}};
  const std::string archive = Archive(Contiguous(9, entries));
  ASSERT_EQ(Unpack(archive, "before"), kExitOk);
  WriteBytes(dir_.File("new.ogg"), other_);
  WriteBytes(dir_.File("new.txt"), "plain");

  for (const std::vector<std::string>& refused :
       {std::vector<std::string>{archive, "v_9*", dir_.File("new.ogg")},
        {archive, "#2", dir_.File("new.txt")},
        {archive, "#1", dir_.File("missing.ogg")},
        {archive, "v_0001", dir_.File("new.ogg"), "v_*", dir_.File("new.txt")},
        {archive, "v_0001"}}) {
    test::CommandResult r = RunCommand(RunReplace, refused);
    EXPECT_EQ(r.code, kExitError) << refused[1];
    EXPECT_TRUE(ReadBytes(archive) == Contiguous(9, entries)) << refused[1];
  }
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"before", "new.ogg", "new.txt", "voice.arc"}));

  test::CommandResult r = RunCommand(RunReplace, {archive, "sys_*", dir_.File("new.ogg")});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "1 of 4 entries replaced in " + archive + "\n");
  ASSERT_EQ(Unpack(archive, "after"), kExitOk);
  EXPECT_TRUE(ReadBytes(dir_.File("after/sys_end.ogg")) == other_);
  for (const char* same : {"v_0001.ogg", "readme.bin", "v_0002.ogg"}) {
    EXPECT_TRUE(ReadBytes(dir_.File(std::string("after/") + same)) ==
                ReadBytes(dir_.File(std::string("before/") + same)))
        << same;
  }
  EXPECT_TRUE(ReadBytes(archive) ==
              Contiguous(9, {entries[0], {"sys_end", other_}, entries[2], entries[3]}));
  // #N, and --force for what is no clip.
  r = RunCommand(RunReplace, {archive, "#2", dir_.File("new.txt"), "--force"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(ReadBytes(archive) ==
              Contiguous(9, {entries[0], {"sys_end", other_}, {"readme", "plain"}, entries[3]}));
}

// A byte flipped in an entry's audio, an entry cut short by the file's end
// or by its size, and an entry that is no clip are each named with why, on
// stderr; the summary too, unless quiet.
TEST_F(CliModdingTest, VerifyFindsEveryEntryTheGameCannotPlayWhole) {
  const std::string sound = Archive(Contiguous(0, {{"v1", clip_}, {"v2", other_}}));
  test::CommandResult r = RunCommand(RunVerify, {sound});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "kowaki-cli: 2 of 2 entries decode whole\n");

  // In the middle of the page before the last, which holds audio.
  const std::string longer = test::VorbisClip(22050, 1, 3.0, 3);
  const size_t last = longer.rfind("OggS");
  const size_t before = longer.rfind("OggS", last - 1);
  std::string flipped = Contiguous(0, {{"v1", longer}, {"v2", other_}, {"readme", "text"}});
  flipped[16 + 3 * 17 + (before + last) / 2] ^= 0x20;
  r = RunCommand(RunVerify, {Archive(flipped, "flipped.arc"), "-j", "2"});
  EXPECT_EQ(r.code, kExitIncomplete);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(r.err.starts_with("kowaki-cli: entry 0 (v1): damaged pages (1), ")) << r.err;
  EXPECT_TRUE(
      r.err.ends_with("\nkowaki-cli: entry 2 (readme): not audio (no Ogg data)\n"
                      "kowaki-cli: 1 of 3 entries decode whole, 1 not audio\n"))
      << r.err;
  // In Japanese the words follow the language; the JSON's codes do not.
  SetLanguage(Language::kJapanese);
  const test::CommandResult ja = RunCommand(RunVerify, {dir_.File("flipped.arc")});
  const test::CommandResult ja_json = RunCommand(RunVerify, {dir_.File("flipped.arc"), "--json"});
  SetLanguage(Language::kEnglish);
  EXPECT_NE(ja.err.find("エントリ 2 (readme): 音声ではありません (Ogg のデータではありません)\n"),
            std::string::npos)
      << ja.err;
  EXPECT_NE(ja.err.find("\nkowaki-cli: 最後までデコードできたエントリ: 1/3、音声以外: 1\n"),
            std::string::npos);
  EXPECT_NE(ja_json.out.find("\"count\": 3, \"checked\": 3, \"failed\": 1, \"not_audio\": 1, "
                             "\"interrupted\": false, \"failures\": [{\"entry\": 0,"),
            std::string::npos)
      << ja_json.out;
  EXPECT_NE(ja_json.out.find("\"problems\": [\"damaged\", \"length_differs\"], \"text\": "
                             "\"壊れたページが 1 個あります、"),
            std::string::npos)
      << ja_json.out;

  std::string cut = Contiguous(0, {{"v1", clip_}, {"v2", other_}});
  cut.resize(cut.size() - 300);
  r = RunCommand(RunVerify, {Archive(cut, "cut.arc"), "--json"});
  EXPECT_EQ(r.code, kExitIncomplete);
  EXPECT_NE(r.out.find("\"failed\": 1, \"not_audio\": 0, \"interrupted\": false, \"failures\": "
                       "[{\"entry\": 1, \"name\": \"v2\", \"name_hex\": \"7632\", \"problems\": "
                       "[\"cut_short\""),
            std::string::npos)
      << r.out;

  // The index claims fewer bytes than the stream has.
  std::string shorter = Contiguous(0, {{"v1", clip_.substr(0, clip_.size() - 200)}});
  r = RunCommand(RunVerify, {Archive(shorter, "shorter.arc")});
  EXPECT_EQ(r.code, kExitIncomplete);
  EXPECT_NE(r.err.find("entry 0 (v1): cut short"), std::string::npos) << r.err;
}

// An entry that is no Ogg data is not audio: an archive keeps other files
// too. It fails the run only with --strict; one that starts as Ogg and
// does not decode always does.
TEST_F(CliModdingTest, VerifyFailsForWhatIsNotAudioOnlyWhenStrict) {
  const std::string archive =
      Archive(Contiguous(0, {{"v1", clip_}, {"readme", "some text"}, {"empty", ""}}));
  test::CommandResult r = RunCommand(RunVerify, {archive, "--json"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(
      r.out.find("\"failed\": 0, \"not_audio\": 2, \"interrupted\": false, \"failures\": []}"),
      std::string::npos)
      << r.out;
  r = RunCommand(RunVerify, {archive, "--strict", "--json"});
  EXPECT_EQ(r.code, kExitIncomplete);
  EXPECT_NE(r.out.find("\"name\": \"readme\", \"name_hex\": \"726561646d65\", \"problems\": "
                       "[\"not_audio\"]"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.err.find("kowaki-cli: entry 2 (empty): not audio (no Ogg data)\n"),
            std::string::npos);

  const std::string ogg_junk =
      Archive(Contiguous(0, {{"v1", "OggS and then no page at all"}}), "junk.arc");
  r = RunCommand(RunVerify, {ogg_junk});
  EXPECT_EQ(r.code, kExitIncomplete);
  EXPECT_NE(r.err.find("entry 0 (v1): damaged: no whole Ogg page near its end"), std::string::npos)
      << r.err;
}

// The largest archive the format allows. KOWAKI_FULL_TABLE=1 runs it with
// all 1,048,576 entries and prints the time taken; by default a smaller
// table keeps the suite quick (Wine makes a file in tens of milliseconds).
TEST_F(CliModdingTest, ManyEntriesComeBackByteForByte) {
  const bool full = std::getenv("KOWAKI_FULL_TABLE") != nullptr;
#ifdef _WIN32
  constexpr uint32_t kQuickCount = 300;
#else
  constexpr uint32_t kQuickCount = 4000;
#endif
  const uint32_t count = full ? kArchiveMaxEntries : kQuickCount;
  std::vector<Stored> entries(count);
  std::vector<std::string> names(count);
  for (uint32_t i = 0; i < count; ++i) {
    char name[9];
    std::snprintf(name, sizeof name, "e%05x", i);
    names[i] = name;
    // Mostly empty entries: a million files of data would fill the disk.
    entries[i] = {names[i], i % 4096 == 0 ? std::string(1 + i % 7, 'd') : std::string()};
  }
  const std::string archive = Archive(Contiguous(1, entries));
  const auto start = std::chrono::steady_clock::now();
  ExpectRoundTrip(archive);
  const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - start;
  if (full) std::printf("%u entries: unpack and pack in %.1f s\n", count, taken.count());
}

}  // namespace
}  // namespace kowaki::cli
