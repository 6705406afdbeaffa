// unpack, pack, pack --from, replace, status and verify, driven as a
// modder drives them, mistakes included.

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
#include "modding/folder.h"
#include "modding/manifest.h"
#include "tests/convert/wav_test_util.h"
#include "tests/support/files.h"
#include "tests/support/run_command.h"
#include "text/catalogue.h"
#include "tools/synth.h"

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
                               std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"-o", dir_.File(out), "--from", dir_.File(folder)};
    args.insert(args.end(), more.begin(), more.end());
    return RunCommand(RunPack, args);
  }
  // unpack then pack --from gives back the archive byte for byte.
  void ExpectRoundTrip(const std::string& archive, const std::string& folder = "un") {
    ASSERT_EQ(Unpack(archive, folder), kExitOk);
    test::CommandResult r = PackFrom(folder, "again.arc", {"--no-backup"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.find("laid out"), std::string::npos) << r.err;
    EXPECT_TRUE(ReadBytes(dir_.File("again.arc")) == ReadBytes(archive));
  }
  // `file` in `folder` as the commands join them (on Windows with '\\').
  std::string In(const std::string& folder, const std::string& file) {
    return PathInFolder(dir_.File(folder), file);
  }
  std::string Manifest(const std::string& folder) {
    return ReadBytes(dir_.File(folder + "/" + kManifestFileName));
  }
  // A WAV recording of `seconds` of the synthetic voice.
  std::string Recording(const std::string& name, int rate, int channels, double seconds) {
    const std::vector<int16_t> voice = synth::Voice(rate, channels, seconds, 180.0);
    std::string pcm(voice.size() * 2, '\0');
    for (size_t i = 0; i < voice.size(); ++i) {
      pcm[2 * i] = static_cast<char>(voice[i] & 0xFF);
      pcm[2 * i + 1] = static_cast<char>(voice[i] >> 8);
    }
    const auto bits = static_cast<uint16_t>(16);
    WriteBytes(dir_.File(name),
               test::Riff(test::Chunk("fmt ", test::Fmt(1, static_cast<uint16_t>(channels),
                                                        static_cast<uint32_t>(rate), bits)) +
                          test::Chunk("data", pcm)));
    return dir_.File(name);
  }

  test::TempDir dir_;
  const std::string clip_ = test::VorbisClip(22050, 1, 0.4, 1);
  const std::string other_ = test::VorbisClip(16000, 2, 0.3, 2);
};

// A second unpack into a folder stops before it writes anything, naming
// what is in the way; --force replaces only what unpack writes, after
// finding what it cannot replace.
TEST_F(CliModdingTest, UnpackNeverWritesOverWhatIsInItsFolder) {
  std::vector<Stored> entries;
  for (const std::string_view name : {"v1", "v2", "v3", "v4", "v5", "v6", "v7"}) {
    entries.push_back({name, clip_});
  }
  const std::string archive = Archive(Contiguous(0, entries));
  ASSERT_EQ(Unpack(archive, "un"), kExitOk);
  WriteBytes(dir_.File("un/v1.ogg"), other_);  // the modder's edit
  WriteBytes(dir_.File("un/notes.txt"), "mine");
  std::string err;
  EXPECT_EQ(Unpack(archive, "un", &err), kExitError);
  EXPECT_TRUE(ReadBytes(dir_.File("un/v1.ogg")) == other_);
  EXPECT_NE(err.find(In("un", "manifest.txt") + " exists\n"), std::string::npos) << err;
  EXPECT_NE(err.find(In("un", "v1.ogg") + " exists\n"), std::string::npos) << err;
  // Eight in the way: four named, the rest counted; -v names each.
  EXPECT_NE(err.find("kowaki-cli: ... and 4 more (-v shows each)\n"
                     "kowaki-cli: nothing unpacked: the folder holds files unpack would write "
                     "(--force replaces them)\n"),
            std::string::npos)
      << err;
  const test::CommandResult each = RunCommand(RunUnpack, {archive, dir_.File("un"), "-v"});
  EXPECT_NE(each.err.find(In("un", "v7.ogg") + " exists\n"), std::string::npos) << each.err;
  // Read-only, it is found before anything is written, even with --force.
  test::SetReadOnly(dir_.File("un/v2.ogg"), true);
  EXPECT_EQ(Unpack(archive, "un", &err), kExitError);
  test::CommandResult r = RunCommand(RunUnpack, {archive, dir_.File("un"), "--force"});
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find(In("un", "v2.ogg") + ": is read-only"), std::string::npos) << r.err;
  EXPECT_TRUE(ReadBytes(dir_.File("un/v1.ogg")) == other_);
  test::SetReadOnly(dir_.File("un/v2.ogg"), false);
  r = RunCommand(RunUnpack, {archive, dir_.File("un"), "--force"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(ReadBytes(dir_.File("un/v1.ogg")) == clip_);
  EXPECT_EQ(ReadBytes(dir_.File("un/notes.txt")), "mine");
  // The archive itself lying where the manifest goes is never written over.
  std::filesystem::create_directory(dir_.File("in"));
  const std::string inside = Archive(Contiguous(0, {entries[0]}), "in/manifest.txt");
  r = RunCommand(RunUnpack, {inside, dir_.File("in"), "--force"});
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find(In("in", "manifest.txt") + " is the archive itself"), std::string::npos)
      << r.err;
  EXPECT_TRUE(ReadBytes(inside) == Contiguous(0, {entries[0]}));
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"in", "un", "voice.arc"}));
}

#ifdef KOWAKI_DEMO_ARCHIVE
TEST_F(CliModdingTest, DemoArchiveComesBackByteForByte) {
  ExpectRoundTrip(KOWAKI_DEMO_ARCHIVE);
  // Every entry has its file, the one that is no Ogg data as .bin.
  EXPECT_EQ(dir_.List().size(), 2u);
  EXPECT_EQ(ReadBytes(dir_.File("un/readme.bin")), "This entry is plain text, not a voice clip.\n");
  EXPECT_NE(Manifest("un").find("\nentry 0 v_0001 "), std::string::npos);
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
  EXPECT_NE(manifest.find("header-word 0x00123456\nlayout contiguous\nentries 13 "),
            std::string::npos);
  EXPECT_NE(manifest.find("\nentry 11 ab%00xyz 1 "), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("\nentry 10 %00 1 "), std::string::npos) << manifest;
  EXPECT_NE(manifest.find(" 22050/1/8820/"), std::string::npos) << manifest;  // clip_'s audio
  // Names that are no file name are escaped, the same name twice numbered.
  for (const char* file : {"v_0001.ogg", "v_0001~3.ogg", "V_0001~4.bin", "a%2Fb.bin", "%2E..bin",
                           "%43ON.bin", "empty.bin", "%00.bin"}) {
    EXPECT_NE(manifest.find(std::string(" ") + file + "\n"), std::string::npos) << file;
  }
  ExpectRoundTrip(Archive(Contiguous(0, {})), "empty");
}

// The manifest's lines are checked, and so is each file, before anything is written.
TEST_F(CliModdingTest, PackFromRefusesWhatWouldNotGiveTheGameAnArchive) {
  const std::string archive = Archive(Contiguous(0, {{"v1", clip_}, {"v2", clip_}}));
  ASSERT_EQ(Unpack(archive, "un"), kExitOk);
  std::remove(dir_.File("un/v2.ogg").c_str());
  test::CommandResult r = PackFrom("un", "new.arc");
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("entry 1 (v2): missing, " + In("un", "v2.ogg") + ": its file is missing\n"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("new.arc")));

  WriteBytes(dir_.File("un/v2.ogg"), "RIFF....WAVE");
  r = PackFrom("un", "new.arc");
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("v2.ogg: not Ogg Vorbis (--force takes it all the same)"), std::string::npos)
      << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("new.arc")));
  r = PackFrom("un", "new.arc", {"--force"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.err.find("2 entries packed into " + dir_.File("new.arc") +
                       ": 1 changed, 0 recordings encoded, 1 unchanged"),
            std::string::npos)
      << r.err;

  // A new clip is the whole workflow; a manifest leads to no file outside its folder.
  WriteBytes(dir_.File("un/v2.ogg"), other_);
  r = PackFrom("un", "new.arc", {"--no-backup"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(ReadBytes(dir_.File("new.arc")) == Contiguous(0, {{"v1", clip_}, {"v2", other_}}));
  std::string manifest = Manifest("un");
  manifest.replace(manifest.find(" v1.ogg"), 7, " ../voice.arc");
  WriteBytes(dir_.File("un/manifest.txt"), manifest);
  r = PackFrom("un", "other.arc");
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("its file is not in the folder"), std::string::npos) << r.err;
}

// The mistakes of the round trip: a file under a mistyped name, a lost
// manifest line, entries added or removed only on purpose.
TEST_F(CliModdingTest, PackFromNamesWhatTheManifestDoesNotSay) {
  const std::string archive =
      Archive(Contiguous(0, {{"v_0001", clip_}, {"v_0002", clip_}, {"v_0003", clip_}}));
  ASSERT_EQ(Unpack(archive, "un"), kExitOk);
  WriteBytes(dir_.File("un/v_003.ogg"), other_);  // meant for v_0003
  WriteBytes(dir_.File("un/v_0004.ogg"), other_);
  WriteBytes(dir_.File("un/notes.txt"), "the translator's");
  test::CommandResult r = PackFrom("un", "new.arc");
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(
      r.err.find(In("un", "v_003.ogg") + " is not in the manifest: did you mean v_0003.ogg?\n"),
      std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find(In("un", "v_0004.ogg") + " is not in the manifest (--add NAME=FILE"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("notes.txt"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("new.arc")));
  r = RunCommand(RunStatus, {dir_.File("un")});
  EXPECT_EQ(r.code, kExitIncomplete);
  EXPECT_NE(r.out.find("did you mean v_0003.ogg?"), std::string::npos) << r.out;

  // On purpose: one added after the others, one removed.
  std::remove(dir_.File("un/v_003.ogg").c_str());
  const std::vector<std::string> edits = {"--add", "v_0004=" + dir_.File("un/v_0004.ogg"),
                                          "--remove", "v_0001"};
  r = RunCommand(RunStatus, {dir_.File("un"), edits[0], edits[1], edits[2], edits[3]});
  EXPECT_EQ(r.code, kExitOk) << r.out << r.err;
  r = PackFrom("un", "new.arc", edits);
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(ReadBytes(dir_.File("new.arc")) ==
              Contiguous(0, {{"v_0002", clip_}, {"v_0003", clip_}, {"v_0004", other_}}));
  r = PackFrom("un", "new.arc", {"--remove", "v_*"});
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("'v_*' names 3 entries (v_0001, v_0002, v_0003): --all takes them all"),
            std::string::npos)
      << r.err;

  // A line lost while editing: refused, naming it, however the files look.
  std::string manifest = Manifest("un");
  manifest.erase(manifest.find("entry 1 v_0002"),
                 manifest.find("entry 2 v_0003") - manifest.find("entry 1 v_0002"));
  WriteBytes(dir_.File("un/manifest.txt"), manifest);
  r = PackFrom("un", "lost.arc", {"--force"});
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("manifest.txt, line 8: entry 1 is missing before this line (entry 2)"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("lost.arc")));
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
  EXPECT_NE(manifest.find("\nshared 0 a 4 "), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("\nshared 1 b 4 "), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("\nshared 2 c 2 "), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("\noutside 3 d 50 ends at byte 142"), std::string::npos) << manifest;

  test::CommandResult r = PackFrom("un", "new.arc");
  EXPECT_EQ(r.code, kExitIncomplete);
  EXPECT_NE(r.err.find("entry 3 (d): no data: ends at byte 142"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the same index, laid out one after another"), std::string::npos);
  EXPECT_TRUE(ReadBytes(dir_.File("new.arc")) ==
              Contiguous(5, {{"a", "a123"}, {"b", "zzzz"}, {"c", "zz"}, {"d", ""}}));
}

// Replacing one entry changes that entry only; on any failure the archive
// stays as it was. A pattern takes several entries only with --all, and
// the archive replaced is kept as a backup.
TEST_F(CliModdingTest, ReplaceIsExplicitAndReversible) {
  const std::vector<Stored> entries = {
      {"v_0001", clip_}, {"sys_end", clip_}, {"readme", "text"}, {"v_0002", clip_}};
  const std::string archive = Archive(Contiguous(9, entries));
  const std::string original = ReadBytes(archive);
  ASSERT_EQ(Unpack(archive, "before"), kExitOk);
  WriteBytes(dir_.File("new.ogg"), other_);
  WriteBytes(dir_.File("new.txt"), "plain");

  for (const std::vector<std::string>& refused :
       {std::vector<std::string>{archive, "v_9*", dir_.File("new.ogg")},
        {archive, "v_*", dir_.File("new.ogg")},
        {archive, "#2", dir_.File("new.txt")},
        {archive, "#1", dir_.File("missing.ogg")},
        {archive, "v_0001", dir_.File("new.ogg"), "v_*", dir_.File("new.txt"), "--all"},
        {archive, "v_0001"}}) {
    test::CommandResult r = RunCommand(RunReplace, refused);
    EXPECT_EQ(r.code, kExitError) << refused[1];
    EXPECT_TRUE(ReadBytes(archive) == original) << refused[1];
  }
  test::CommandResult r = RunCommand(RunReplace, {archive, "v_*", dir_.File("new.ogg")});
  EXPECT_NE(r.err.find("'v_*' names 2 entries (v_0001, v_0002): --all takes them all"),
            std::string::npos)
      << r.err;
  r = RunCommand(RunReplace, {archive, "v_*", dir_.File("new.ogg"), "--all", "--dry-run"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.err.find("2 of 4 entries would be replaced"), std::string::npos) << r.err;
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"before", "new.ogg", "new.txt", "voice.arc"}));

  r = RunCommand(RunReplace, {archive, "sys_*", dir_.File("new.ogg")});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("kowaki-cli: 1 of 4 entries replaced in " + archive + "\n"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(ReadBytes(archive + ".bak") == original);
  ASSERT_EQ(Unpack(archive, "after"), kExitOk);
  EXPECT_TRUE(ReadBytes(dir_.File("after/sys_end.ogg")) == other_);
  for (const char* same : {"v_0001.ogg", "readme.bin", "v_0002.ogg"}) {
    EXPECT_TRUE(ReadBytes(dir_.File(std::string("after/") + same)) ==
                ReadBytes(dir_.File(std::string("before/") + same)))
        << same;
  }
  const std::string replaced =
      Contiguous(9, {entries[0], {"sys_end", other_}, entries[2], entries[3]});
  EXPECT_TRUE(ReadBytes(archive) == replaced);
  // #N, and --force for what is no clip; the backup before it numbered.
  r = RunCommand(RunReplace, {archive, "#2", dir_.File("new.txt"), "--force"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(ReadBytes(archive) ==
              Contiguous(9, {entries[0], {"sys_end", other_}, {"readme", "plain"}, entries[3]}));
  EXPECT_TRUE(ReadBytes(archive + ".bak.1") == replaced);
  ASSERT_EQ(RunCommand(RunReplace, {archive, "#2", dir_.File("new.ogg"), "--no-backup"}).code,
            kExitOk);
  EXPECT_FALSE(std::filesystem::exists(archive + ".bak.2"));
  // pack -o onto an archive keeps it the same way.
  ASSERT_EQ(RunCommand(RunPack, {"-o", archive, dir_.File("new.ogg")}).code, kExitOk);
  EXPECT_TRUE(std::filesystem::exists(archive + ".bak.2"));
}

// pack FILE... takes clips the game can play, and no two of one name.
TEST_F(CliModdingTest, PackTakesClipsOfNamesOfTheirOwn) {
  WriteBytes(dir_.File("a.ogg"), clip_);
  std::filesystem::create_directory(dir_.File("sub"));
  WriteBytes(dir_.File("sub/a.ogg"), other_);
  const std::string wav = Recording("new.wav", 22050, 1, 0.2);
  const std::string out = dir_.File("out.arc");
  test::CommandResult r = RunCommand(RunPack, {"-o", out, wav, dir_.File("a.ogg")});
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("new.wav: a WAV file, not an Ogg Vorbis clip: pack --from and replace "
                       "encode WAV recordings (--force takes it all the same)"),
            std::string::npos)
      << r.err;
  r = RunCommand(RunPack, {"-o", out, dir_.File("a.ogg"), dir_.File("sub/a.ogg"), "--force"});
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("sub/a.ogg would both be the entry a: the game finds entries by name"),
            std::string::npos)
      << r.err;
  r = RunCommand(RunPack, {"-o", out, dir_.File("a.ogg"), "--dry-run"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_FALSE(std::filesystem::exists(out));
  r = RunCommand(RunPack, {"-o", out, dir_.File("a.ogg"), wav, "--force"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.err.find("2 entries packed into"), std::string::npos) << r.err;
}

// A WAV recording under an entry's stem, or given to replace, becomes a
// clip of the entry's rate and channels, as long as the recording.
TEST_F(CliModdingTest, RecordingsAreEncodedAsTheClipsTheyReplace) {
  const std::string archive = Archive(Contiguous(0, {{"v_0001", clip_}, {"v_0002", other_}}));
  ASSERT_EQ(Unpack(archive, "un"), kExitOk);
  constexpr double kSeconds = 1.5;
  Recording("un/v_0001.wav", 44100, 2, kSeconds);  // beside its unchanged .ogg
  test::CommandResult r = RunCommand(RunStatus, {dir_.File("un")});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.out.find("entry 0 (v_0001): recording, " + In("un", "v_0001.wav") +
                       "; 1.50 s, 44100 Hz, 2 channels; encoded as 22050 Hz, mono, quality "),
            std::string::npos)
      << r.out;
  r = PackFrom("un", "new.arc");
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.err.find(": 0 changed, 1 recordings encoded, 1 unchanged"), std::string::npos)
      << r.err;
  // Within one block of the recording's length.
  const auto expect_clip = [&](const std::string& path, int32_t entry, long rate, int channels) {
    const ArchiveIndexPtr index = test::LoadIndex(path);
    ASSERT_TRUE(index);
    const ArchiveEntry& stored = index->entries[entry];
    const std::string bytes = ReadBytes(path).substr(stored.offset, stored.size);
    const test::DecodedVorbis decoded = test::DecodeVorbis(bytes);
    EXPECT_EQ(decoded.rate, rate);
    EXPECT_EQ(decoded.channels, channels);
    const double frames = static_cast<double>(decoded.samples.size()) / channels;
    EXPECT_NEAR(frames, kSeconds * static_cast<double>(rate), 2048);
  };
  expect_clip(dir_.File("new.arc"), 0, 22050, 1);
  r = RunCommand(RunReplace, {archive, "v_0002", dir_.File("un/v_0001.wav")});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.err.find("entry 1 (v_0002): encoded from " + dir_.File("un/v_0001.wav") +
                       " as 16000 Hz, 2 channels, quality "),
            std::string::npos)
      << r.err;
  expect_clip(archive, 1, 16000, 2);

  // Beside a changed .ogg it is not clear which is meant: --force takes the .ogg.
  WriteBytes(dir_.File("un/v_0001.ogg"), other_);
  r = PackFrom("un", "both.arc");
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("its .ogg was changed and a .wav is there too (--force takes it"),
            std::string::npos)
      << r.err;
  r = PackFrom("un", "both.arc", {"--force"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(ReadBytes(dir_.File("both.arc")) ==
              Contiguous(0, {{"v_0001", other_}, {"v_0002", other_}}));
}

// status: each entry as pack --from would take it, the original's audio
// beside the new, and whether it would pack; in JSON with fixed words.
TEST_F(CliModdingTest, StatusTellsWhatPackFromWouldDo) {
  const std::string archive =
      Archive(Contiguous(0, {{"v1", clip_}, {"v2", clip_}, {"v3", clip_}, {"text", "plain"}}));
  ASSERT_EQ(Unpack(archive, "un"), kExitOk);
  test::CommandResult r = RunCommand(RunStatus, {dir_.File("un")});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "kowaki-cli: 4 entries: 4 unchanged, 0 changed, 0 recordings, 0 without data, 0 "
            "missing or unusable; files not in the manifest: 0\n"
            "kowaki-cli: pack --from would pack it\n");
  WriteBytes(dir_.File("un/v1.ogg"), other_);
  std::remove(dir_.File("un/v2.ogg").c_str());
  r = RunCommand(RunStatus, {dir_.File("un")});
  EXPECT_EQ(r.code, kExitIncomplete);
  EXPECT_EQ(r.out, "entry 0 (v1): changed, " + In("un", "v1.ogg") +
                       "; 0.30 s, 16000 Hz, 2 channels; was 0.40 s, 22050 Hz, mono; its rate or "
                       "channels differ from the original's\n"
                       "entry 1 (v2): missing, " +
                       In("un", "v2.ogg") + ": its file is missing\n");
  r = RunCommand(RunStatus, {dir_.File("un"), "--json"});
  EXPECT_EQ(r.code, kExitIncomplete);
  for (const char* part :
       {"\"version\": 2, \"count\": 4, \"would_pack\": false, \"unchanged\": 2, \"changed\": 1, ",
        "\"status\": \"changed\", ",
        "\"original\": {\"frames\": 8820, \"rate\": 22050, "
        "\"channels\": 1}, \"now\": {\"frames\": 4800, \"rate\": "
        "16000, \"channels\": 2}, \"differs\": true}",
        "\"status\": \"missing\", ", "\"problems\": [\"file_missing\"]",
        "\"name\": \"text\", \"name_hex\": \"74657874\", \"status\": \"unchanged\", "}) {
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
  }
  // A manifest pack --from would refuse: why, and no entries.
  WriteBytes(dir_.File("un/manifest.txt"), "kowaki-unpack 9\n");
  r = RunCommand(RunStatus, {dir_.File("un"), "--json"});
  EXPECT_EQ(r.code, kExitIncomplete);
  EXPECT_NE(r.out.find("\"would_pack\": false, \"error\": "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("line 1: manifest version 9; this kowaki-cli reads version 2\", "
                       "\"entries\": []}"),
            std::string::npos)
      << r.out;
}

// What pack --from reads is never what it writes, and never reached
// through a link; a stream output gets the archive and nothing else.
TEST_F(CliModdingTest, PackFromReadsOnlyItsOwnFolderAndWritesOnlyItsOutput) {
  const std::string archive = Archive(Contiguous(0, {{"v1", clip_}, {"v2", clip_}}));
  ASSERT_EQ(Unpack(archive, "un"), kExitOk);
  const std::string manifest = Manifest("un");
  for (const char* output : {"un/manifest.txt", "un/v1.ogg"}) {
    test::CommandResult r = PackFrom("un", output);
    EXPECT_EQ(r.code, kExitError) << output;
    EXPECT_NE(r.err.find("which this command reads"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Manifest("un"), manifest);
  std::string args[] = {"-o", "-", "--from", dir_.File("un")};
  const std::string piped = test::StandardOutputOf([&] {
    const std::vector<char*> argv = {args[0].data(), args[1].data(), args[2].data(),
                                     args[3].data()};
    EXPECT_EQ(RunPack(argv), kExitOk);
  });
  EXPECT_TRUE(piped == ReadBytes(archive));
#ifndef _WIN32
  std::filesystem::create_directory(dir_.File("elsewhere"));
  WriteBytes(dir_.File("elsewhere/v2.ogg"), other_);
  std::remove(dir_.File("un/v2.ogg").c_str());
  std::filesystem::create_symlink(dir_.File("elsewhere/v2.ogg"), dir_.File("un/v2.ogg"));
  test::CommandResult r = PackFrom("un", "linked.arc");
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("entry 1 (v2): unusable, " + In("un", "v2.ogg") +
                       ": its file is a link, which is not followed"),
            std::string::npos)
      << r.err;
  // A folder of the manifest's path that is a link is one too.
  std::remove(dir_.File("un/v2.ogg").c_str());
  std::filesystem::create_directory_symlink(dir_.File("elsewhere"), dir_.File("un/sub"));
  std::string moved = manifest;
  moved.replace(moved.find(" v2.ogg"), 7, " sub/v2.ogg");
  WriteBytes(dir_.File("un/manifest.txt"), moved);
  r = PackFrom("un", "linked.arc");
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("its file is a link"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("linked.arc")));
#endif
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
