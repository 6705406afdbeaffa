// kowaki-cli list, export and settings on generated archives, as a user
// runs them: what they print, the files they leave, their exit codes.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

#include "audio/wave_out_player.h"
#include "cli/commands.h"
#include "cli/output/json_output.h"
#include "cli/output/text_output.h"
#include "cli/terminal/terminal_window.h"
#include "common/little_endian.h"
#include "common/output_file.h"
#include "convert/wav_file.h"
#include "jobs/export_file.h"
#include "jobs/export_job.h"
#include "jobs/listing_job.h"
#include "settings/output_settings.h"
#include "tests/audio/simulated_wave_out.h"
#include "tests/jobs/job_fixture.h"
#include "tests/support/run_command.h"

namespace kowaki::test {
namespace {

using cli::RunExport;
using cli::RunList;
using cli::RunPlay;
using cli::RunSettings;

std::vector<std::string> TempDirList(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(folder))
    names.push_back(item.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class CliJobsTest : public JobTest {
 protected:
  void SetUp() override {
    SetLanguage(Language::kEnglish);
    // Stored settings of our own, where a file store keeps them.
    SetEnvironment("XDG_CONFIG_HOME", config_.path().string());
    MakeArchive({Voice("v_0001", 22050, 1),
                 {"junk", "not vorbis"},
                 Voice("\x82\xb1\x82\xa6", 44100, 2, 0.5),
                 Voice("v_0003", 8000, 1)});
    archive_ = dir_.File("voice.arc");
  }
  std::string Size(size_t clip) const { return std::to_string(clips_[clip].data.size()); }
  std::string Offset(int32_t entry) const {
    return std::to_string(LoadIndex(archive_)->entries[entry].offset);
  }
  std::string SizeText(size_t clip) const {
    return FormatSize(static_cast<uint32_t>(clips_[clip].data.size()));
  }

  TempDir config_;
  TempDir out_;
  std::string archive_;
};

TEST_F(CliJobsTest, ListShowsThePlayableEntriesWithTheirEntryNumbers) {
  CommandResult json = RunCommand(RunList, {archive_, "--json"});
  EXPECT_EQ(json.code, 0) << json.err;
  EXPECT_EQ(json.out,
            "{\"path\": " + cli::JsonLine(archive_) + ", \"rows\": [" +
                "{\"entry\": 0, \"name\": \"v_0001\", \"name_hex\": \"765f30303031\", \"size\": " +
                Size(0) + ", \"size_text\": \"" + SizeText(0) + "\", \"offset\": " + Offset(0) +
                ", \"playable\": true, \"seconds\": 0.300000, \"seconds_text\": \"0.30\", "
                "\"frames\": 6615, \"channels\": 1, \"rate\": 22050}, " +
                "{\"entry\": 2, \"name\": \"こえ\", \"name_hex\": \"82b182a6\", \"size\": " +
                Size(2) + ", \"size_text\": \"" + SizeText(2) + "\", \"offset\": " + Offset(2) +
                ", \"playable\": true, \"seconds\": 0.500000, \"seconds_text\": \"0.50\", "
                "\"frames\": 22050, \"channels\": 2, \"rate\": 44100}, " +
                "{\"entry\": 3, \"name\": \"v_0003\", \"name_hex\": \"765f30303033\", \"size\": " +
                Size(3) + ", \"size_text\": \"" + SizeText(3) + "\", \"offset\": " + Offset(3) +
                ", \"playable\": true, \"seconds\": 0.300000, \"seconds_text\": \"0.30\", "
                "\"frames\": 2400, \"channels\": 1, \"rate\": 8000}]}\n");

  CommandResult table = RunCommand(RunList, {archive_});
  EXPECT_EQ(table.code, 0);
  EXPECT_TRUE(table.out.starts_with("entry  name            size    seconds  channels    rate\n"))
      << table.out;
  EXPECT_NE(table.out.find("    2  こえ      "), std::string::npos) << table.out;
  EXPECT_EQ(table.err, "");  // no progress line when stderr is no terminal
}

// list --loudness: each row's integrated loudness and true peak, null
// where a clip is too short for a gated block of 400 ms.
TEST_F(CliJobsTest, ListLoudnessAddsLevelsToTheRows) {
  CommandResult json = RunCommand(RunList, {archive_, "--json", "--loudness"});
  EXPECT_EQ(json.code, 0) << json.err;
  const std::vector<std::string> records = {"\"rate\": 22050, \"loudness\": null, \"true_peak\": -",
                                            "\"rate\": 44100, \"loudness\": -",
                                            "\"rate\": 8000, \"loudness\": null"};
  for (const std::string& record : records) {
    EXPECT_NE(json.out.find(record), std::string::npos) << json.out;
  }
  CommandResult table = RunCommand(RunList, {archive_, "--loudness", "#2"});
  EXPECT_EQ(table.code, 0);
  EXPECT_TRUE(
      table.out.starts_with("entry  name            size    seconds  channels    rate"
                            "  loudness [LUFS]  true peak [dBTP]\n"))
      << table.out;
}

// An archive that cannot be loaded gets the window's sentence and the cause;
// a pipe is refused at once instead of waited on.
TEST_F(CliJobsTest, ListRefusesWhatItCannotOpenAndSaysWhy) {
  CommandResult missing = RunCommand(RunList, {dir_.File("missing.arc")});
  EXPECT_EQ(missing.code, 2);
  EXPECT_NE(missing.err.find("kowaki-cli: cannot open " + dir_.File("missing.arc") +
                             "\nkowaki-cli: check that"),
            std::string::npos)
      << missing.err;
  EXPECT_NE(missing.err.find("(there is no such file)"), std::string::npos);
  const std::string old = dir_.File("v2.arc");
  WriteBytes(old, ArchiveHeader(2, 0, 0, 16));
  EXPECT_NE(RunCommand(RunList, {old}).err.find("(its version is 2 (1 expected))"),
            std::string::npos);
  EXPECT_NE(RunCommand(RunList, {dir_.path().string()}).err.find("(it is a folder)"),
            std::string::npos);
#if !defined(_WIN32)
  const std::string fifo = dir_.File("pipe.arc");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (auto command : {RunList, cli::RunIndex}) {
    CommandResult piped = RunCommand(command, {fifo});
    EXPECT_EQ(piped.code, 2);
    EXPECT_NE(piped.err.find("not a file"), std::string::npos) << piped.err;
  }
#endif
  EXPECT_EQ(RunCommand(RunList, {archive_, "extra"}).code, 2);
  EXPECT_EQ(RunCommand(RunList, {archive_, "--frob"}).code, 2);
}

TEST_F(CliJobsTest, ExportCopiesTheSelectedEntriesInListOrder) {
  const std::string folder = out_.File("ogg");  // made by the export
  CommandResult result =
      RunCommand(RunExport, {archive_, "--to", folder, "--type", "ogg", "v_000[!2-9]", "v_?00*3"});
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(ReadBytes(folder + "/v_0001.ogg"), clips_[0].data);
  EXPECT_EQ(ReadBytes(folder + "/v_0003.ogg"), clips_[3].data);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);
}

// -n keeps a file that exists and counts its entry apart from failures;
// without it the file is replaced. --json tells each entry's fate.
TEST_F(CliJobsTest, ExportWithNoClobberSkipsExistingFiles) {
  const std::string to = out_.path().string();
  WriteBytes(out_.File("v_0001.ogg"), "old");
  CommandResult kept =
      RunCommand(RunExport, {archive_, "--to", to, "--type", "ogg", "-n", "--json"});
  EXPECT_EQ(kept.code, 0) << kept.err;
  EXPECT_EQ(ReadBytes(out_.File("v_0001.ogg")), "old");
  EXPECT_EQ(ReadBytes(out_.File("v_0003.ogg")), clips_[3].data);
  EXPECT_NE(kept.err.find("kowaki-cli: v_0001: skipped: its file exists (--no-clobber)\n"),
            std::string::npos)
      << kept.err;
  EXPECT_EQ(kept.err.find("could not be exported"), std::string::npos) << kept.err;
  EXPECT_NE(kept.err.find("kowaki-cli: 2 written, 1 skipped, 0 failed; "), std::string::npos)
      << kept.err;
  EXPECT_TRUE(
      kept.out.starts_with("{\"command\": \"export\", \"archive\": " + cli::JsonLine(archive_) +
                           ", \"selected\": 3, \"done\": 2, \"skipped\": 1, "
                           "\"failed\": 0, \"left\": 0, \"bytes\": " +
                           std::to_string(clips_[2].data.size() + clips_[3].data.size())))
      << kept.out;
  EXPECT_NE(
      kept.out.find("{\"entry\": 0, \"name\": \"v_0001\", \"name_hex\": \"765f30303031\", "
                    "\"status\": \"skipped\", \"problem\": \"exists\", \"reason\": "
                    "\"skipped: its file exists (--no-clobber)\", \"output\": " +
                    cli::JsonLine(out_.File("v_0001.ogg")) + ", \"frames\": 6615, \"bytes\": 0}"),
      std::string::npos)
      << kept.out;
  EXPECT_NE(kept.out.find("\"status\": \"written\", \"problem\": null, \"reason\": null, "
                          "\"output\": " +
                          cli::JsonLine(out_.File("v_0003.ogg")) +
                          ", \"frames\": 2400, \"bytes\": " + Size(3) + "}]}\n"),
            std::string::npos)
      << kept.out;

  // A merge file that exists is kept whole.
  CommandResult merge = RunCommand(RunExport, {archive_, "--merge", out_.File("v_0001.ogg"), "-n"});
  EXPECT_EQ(merge.code, 0) << merge.err;
  EXPECT_EQ(ReadBytes(out_.File("v_0001.ogg")), "old");

  CommandResult replaced = RunCommand(RunExport, {archive_, "--to", to, "--type", "ogg"});
  EXPECT_EQ(replaced.code, 0) << replaced.err;
  EXPECT_EQ(ReadBytes(out_.File("v_0001.ogg")), clips_[0].data);
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--merge", "-", "--json"}).code, 2);
}

// Many kept files: the first five get their lines, the rest one line that
// counts them; -v gives each its line.
TEST_F(CliJobsTest, ExportWithNoClobberCountsWhatItKeepsBeyondAFew) {
  MakeArchive(Voices(8, 8000, 0.1));
  const std::string to = out_.path().string();
  ASSERT_EQ(RunCommand(RunExport, {archive_, "--to", to, "--type", "ogg"}).code, 0);
  const auto lines = [](const std::string& err) {
    return std::count(err.begin(), err.end(), '\n');
  };
  CommandResult few = RunCommand(RunExport, {archive_, "--to", to, "--type", "ogg", "-n"});
  EXPECT_EQ(few.code, 0) << few.err;
  EXPECT_EQ(lines(few.err), 7) << few.err;  // five, "and 3 more", the summary
  EXPECT_NE(few.err.find("kowaki-cli: e4: skipped: its file exists (--no-clobber)\n"
                         "kowaki-cli: ... and 3 more (-v shows each)\n"
                         "kowaki-cli: 0 written, 8 skipped, 0 failed"),
            std::string::npos)
      << few.err;
  CommandResult each = RunCommand(RunExport, {archive_, "--to", to, "--type", "ogg", "-n", "-v"});
  EXPECT_EQ(lines(each.err), 9) << each.err;
  EXPECT_NE(each.err.find("kowaki-cli: e7: skipped"), std::string::npos) << each.err;
}

// --name builds each file's name; the result is made safe and kept apart
// from the run's other names as entry names are.
TEST_F(CliJobsTest, ExportNamesFilesAfterTheTemplate) {
  const std::string to = out_.path().string();
  CommandResult run = RunCommand(RunExport, {archive_, "--to", to, "--type", "ogg", "--name",
                                             "{n}-{entry:03}-{entry:2}/{name}"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(out_.List(), (std::vector<std::string>{"1-000- 0%2Fv_0001.ogg", "2-002- 2%2Fこえ.ogg",
                                                   "3-003- 3%2Fv_0003.ogg"}));
  EXPECT_EQ(ReadBytes(out_.File("1-000- 0%2Fv_0001.ogg")), clips_[0].data);
  CommandResult same = RunCommand(RunExport, {archive_, "--to", out_.File("same"), "--name", "v"});
  EXPECT_EQ(same.code, 0) << same.err;
  EXPECT_EQ(TempDirList(out_.File("same")),
            (std::vector<std::string>{"v.ogg", "v~2.ogg", "v~3.ogg"}));
  for (const char* bad : {"{nam}", "{entry:x}", "{n", "{entry:123}"}) {
    CommandResult refused = RunCommand(RunExport, {archive_, "--to", to, "--name", bad});
    EXPECT_EQ(refused.code, 2) << bad;
    EXPECT_NE(refused.err.find("--name takes {name}, {entry}"), std::string::npos) << refused.err;
  }
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--merge", out_.File("m.wav"), "--name", "x"}).code,
            2);
}

// --markers adds a cue point at each entry's start, labelled with its
// name, after the data; without it the merge file has header and data only.
TEST_F(CliJobsTest, MergeMarksEachEntrysStartWhenAsked) {
  const std::string plain = out_.File("plain.wav"), marked = out_.File("marked.wav");
  ASSERT_EQ(RunCommand(RunExport, {archive_, "--merge", plain, "--rate", "8000"}).code, 0);
  CommandResult run =
      RunCommand(RunExport, {archive_, "--merge", marked, "--rate", "8000", "--markers"});
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string without = ReadBytes(plain), with = ReadBytes(marked);
  const uint32_t data = ReadLe32(reinterpret_cast<const uint8_t*>(&without[40]));
  ASSERT_EQ(without.size(), kWavHeaderSize + data);
  ASSERT_GT(with.size(), without.size());
  EXPECT_TRUE(with.substr(kWavHeaderSize, data) == without.substr(kWavHeaderSize, data));
  EXPECT_EQ(ReadLe32(reinterpret_cast<const uint8_t*>(&with[4])), with.size() - 8);
  // 0.3 s at 22050 Hz, then 0.5 s at 44100 Hz, as 8000 Hz mono frames
  // (the resampler's filter may take a frame or two).
  const std::string tail = with.substr(kWavHeaderSize + data);
  ASSERT_GT(tail.size(), 12u + 3 * 24);
  const auto frame = [&tail](size_t i) {
    return ReadLe32(reinterpret_cast<const uint8_t*>(&tail[12 + 24 * i + 4]));
  };
  EXPECT_EQ(frame(0), 0u);
  EXPECT_NEAR(frame(1), 2400, 4);
  EXPECT_NEAR(frame(2), 6400, 8);
  const std::vector<CuePoint> cues = {{0, "v_0001"}, {frame(1), "こえ"}, {frame(2), "v_0003"}};
  const std::vector<uint8_t> chunks = MakeCueChunks(cues);
  EXPECT_TRUE(tail == std::string(chunks.begin(), chunks.end()));
  EXPECT_EQ(tail.substr(0, 12), std::string("cue \x4c\0\0\0\x03\0\0\0", 12));
  EXPECT_NE(tail.find(std::string("labl\x0b\0\0\0\x02\0\0\0こえ\0\0", 20)), std::string::npos);
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--to", out_.File("d"), "--markers"}).code, 2);
}

// --all adds the entries that do not open, with the reason; ENTRY
// arguments choose rows as they do for export.
TEST_F(CliJobsTest, ListShowsEveryEntryOrTheOnesNamed) {
  CommandResult all = RunCommand(RunList, {archive_, "--all"});
  EXPECT_EQ(all.code, 0) << all.err;
  const size_t junk = all.out.find("\n    1  junk ");
  EXPECT_GT(junk, all.out.find("\n    0  v_0001 ")) << all.out;
  EXPECT_LT(junk, all.out.find("\n    2  こえ ")) << all.out;
  EXPECT_EQ(all.out.find("  not audio (no Ogg data)\n", junk), all.out.find('\n', junk + 1) - 25)
      << all.out;
  EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 5);
  CommandResult named = RunCommand(RunList, {archive_, "v_*"});
  EXPECT_EQ(named.code, 0) << named.err;
  EXPECT_EQ(std::count(named.out.begin(), named.out.end(), '\n'), 3) << named.out;
  EXPECT_EQ(named.out.find("こえ"), std::string::npos) << named.out;
  CommandResult json = RunCommand(RunList, {archive_, "--all", "--json", "#1"});
  EXPECT_EQ(json.out, "{\"path\": " + cli::JsonLine(archive_) +
                          ", \"rows\": [{\"entry\": 1, \"name\": \"junk\", \"name_hex\": "
                          "\"6a756e6b\", \"size\": " +
                          Size(1) + ", \"size_text\": \"" + SizeText(1) +
                          "\", \"offset\": " + Offset(1) +
                          ", \"playable\": false, \"reason\": \"not audio (no Ogg data)\"}]}\n");
  EXPECT_EQ(RunCommand(RunList, {archive_, "#1"}).code, 2);  // not listed without --all
}

TEST_F(CliJobsTest, ExportWritesWavFilesAndMergesThemWithTheOptionsGiven) {
  CommandResult files =
      RunCommand(RunExport, {archive_, "--to", out_.path().string(), "--type", "wav", "#2"});
  EXPECT_EQ(files.code, 0) << files.err;
  // UTF-8 on Linux and macOS; the name's own bytes on Windows, which the
  // folder listing shows in UTF-8 too.
  EXPECT_EQ(out_.List(), std::vector<std::string>{"こえ.wav"});

  const std::string merged = out_.File("all.wav");
  CommandResult merge =
      RunCommand(RunExport, {archive_, "--merge", merged, "--rate", "16000", "--channels", "1"});
  EXPECT_EQ(merge.code, 0) << merge.err;
  const std::string file = ReadBytes(merged);
  ASSERT_GE(file.size(), 44u);
  EXPECT_EQ(file.substr(22, 2), std::string("\x01\x00", 2));      // mono
  EXPECT_EQ(file.substr(24, 4), std::string("\x80\x3e\0\0", 4));  // 16000 Hz
  // 0.3 + 0.5 + 0.3 seconds.
  EXPECT_NEAR(static_cast<double>(file.size() - 44) / 2, 1.1 * 16000, 200);
}

TEST_F(CliJobsTest, ExportRefusesBadRequestsBeforeWritingAnything) {
  const std::string to = out_.path().string();
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--type", "wav"}).code, 2);
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--to", to, "--merge", out_.File("a.wav")}).code, 2);
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--merge", out_.File("a.wav"), "--type", "ogg"}).code,
            2);
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--to", to, "--rate", "96000"}).code, 2);
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--to", to, "--channels", "6"}).code, 2);
  for (const char* gap : {"-1", "1e3", "inf", "0.5s", ".", "3601", ""}) {
    CommandResult bad =
        RunCommand(RunExport, {archive_, "--merge", out_.File("a.wav"), "--gap", gap});
    EXPECT_EQ(bad.code, 2) << gap;
    EXPECT_NE(bad.err.find("--gap takes seconds from 0 to 3600"), std::string::npos) << bad.err;
  }
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--to", to, "--gap", "1"}).code, 2);
  const auto refused = [&](std::vector<std::string> args, const std::string& why) {
    args.insert(args.begin(), {archive_, "--to", to});
    CommandResult bad = RunCommand(RunExport, args);
    EXPECT_EQ(bad.code, 2) << args.back();
    EXPECT_NE(bad.err.find(why), std::string::npos) << bad.err;
  };
  for (const char* lufs : {"-71", "-4", "0", "23", "-1e1", "-23dB", "inf", ""}) {
    refused({"--loudness", lufs}, "--loudness takes LUFS from -70 to -5, such as -23");
  }
  for (const char* ceiling : {"1", "-21", "-1.5x"}) {
    refused({"--loudness", "-23", "--true-peak", ceiling}, "--true-peak takes dBTP from -20 to 0");
  }
  refused({"--true-peak", "-1"}, "--true-peak goes with --loudness");
  refused({"--loudness", "-23", "--loudness-mode", "disc"}, "--loudness-mode takes track or album");
  refused({"--loudness", "-23", "--type", "ogg"}, "--loudness needs wav or flac");
  refused({"--flac-level", "9", "--type", "flac"}, "--flac-level takes a whole number from 0 to 8");
  refused({"--flac-level", "8", "--type", "wav"}, "--flac-level goes with flac output");
  CommandResult unknown = RunCommand(RunExport, {archive_, "--to", to, "v_0001", "nothing*"});
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("'nothing*' names no listed entry"), std::string::npos);
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--to", to, "#1"}).code, 2);  // not listed
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--to", archive_}).code, 2);  // a file, no folder
  CommandResult folder = RunCommand(RunExport, {archive_, "--merge", to});
  EXPECT_EQ(folder.code, 2);
  EXPECT_NE(folder.err.find("error: cannot open the output file\nkowaki-cli:   '" + to + "'"),
            std::string::npos);
  EXPECT_TRUE(out_.List().empty());
}

// An output that exists but cannot be replaced is found before anything
// is written: the run ends as for an output that cannot be opened.
TEST_F(CliJobsTest, ExportFindsAnOutputItCannotReplaceBeforeAnyWork) {
  const std::string to = out_.path().string();
  const std::string locked = out_.File("v_0003.ogg");
  WriteBytes(locked, "old");
  SetReadOnly(locked, true);
  for (const auto& destination :
       {std::vector<std::string>{"--to", to, "--type", "ogg"}, {"--merge", locked}}) {
    std::vector<std::string> args = {archive_};
    args.insert(args.end(), destination.begin(), destination.end());
    CommandResult result = RunCommand(RunExport, args);
    EXPECT_EQ(result.code, 2);
    EXPECT_NE(result.err.find("v_0003.ogg'\nkowaki-cli: check the destination"), std::string::npos)
        << result.err;
  }
  SetReadOnly(locked, false);
#if defined(_WIN32)
  const HeldOpen held(locked);
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--to", to, "--type", "ogg"}).code, 2);
#else
  const std::string sealed = out_.File("sealed");
  std::filesystem::create_directory(sealed);
  SetReadOnly(sealed, true);
  CommandResult folder = RunCommand(RunExport, {archive_, "--to", sealed});
  EXPECT_EQ(folder.code, 2);
  EXPECT_NE(folder.err.find("'" + sealed + "'"), std::string::npos) << folder.err;
  SetReadOnly(sealed, false);
  EXPECT_TRUE(std::filesystem::remove(sealed));  // still empty
#endif
  EXPECT_EQ(out_.List(), std::vector<std::string>{"v_0003.ogg"});
  EXPECT_EQ(ReadBytes(locked), "old");
}

#if !defined(_WIN32)
// In a --to folder only ordinary files are replaced: a link or a FIFO in
// the way fails its entry, nothing is written through the link, and a
// FIFO without a reader holds nothing up.
TEST_F(CliJobsTest, ExportWritesNothingThroughWhatIsInTheWayOfAnEntrysFile) {
  const std::filesystem::path to = out_.path();
  ASSERT_EQ(mkfifo(out_.File("fifo").c_str(), 0666), 0);
  std::filesystem::create_symlink("fifo", to / "v_0001.ogg");
  std::filesystem::create_symlink("/dev/null", to / "こえ.ogg");
  std::filesystem::create_symlink("fifo", to / "v_0001.wav");
  WriteBytes(out_.File("v_0003.ogg"), "old");
  CommandResult ogg = RunCommand(RunExport, {archive_, "--to", to.string(), "--type", "ogg"});
  EXPECT_EQ(ogg.code, 1);
  EXPECT_NE(ogg.err.find("warning: 3 taken up, 2 could not be exported"), std::string::npos)
      << ogg.err;
  EXPECT_EQ(ReadBytes(out_.File("v_0003.ogg")), clips_[3].data);
  // A WAV file that cannot be opened ends the run, naming it.
  CommandResult wav = RunCommand(RunExport, {archive_, "--to", to.string(), "--type", "wav"});
  EXPECT_EQ(wav.code, 2);
  EXPECT_NE(wav.err.find("v_0001.wav'\nkowaki-cli: check the destination"), std::string::npos)
      << wav.err;
  EXPECT_EQ(out_.List(), (std::vector<std::string>{"fifo", "v_0001.ogg", "v_0001.wav", "v_0003.ogg",
                                                   "こえ.ogg"}));
  for (const char* link : {"v_0001.ogg", "v_0001.wav", "こえ.ogg"})
    EXPECT_TRUE(std::filesystem::is_symlink(to / link)) << link;
}

// A merge file named through a link is written where it leads.
TEST_F(CliJobsTest, ExportMergesIntoTheFileALinkLeadsTo) {
  std::filesystem::create_symlink("real.wav", out_.path() / "link.wav");
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--merge", out_.File("link.wav")}).code, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(out_.path() / "link.wav"));
  EXPECT_EQ(ReadBytes(out_.File("real.wav")).substr(0, 4), "RIFF");
  EXPECT_EQ(out_.List(), (std::vector<std::string>{"link.wav", "real.wav"}));
}
#endif

TEST_F(CliJobsTest, ExportThatFailsEntriesEndsWithOne) {
  if (platform::KindOfPath("/dev/full") != platform::PathKind::kDevice)
    GTEST_SKIP() << "no /dev/full here";
  CommandResult full = RunCommand(RunExport, {archive_, "--merge", "/dev/full"});
  EXPECT_EQ(full.code, 1);
  EXPECT_NE(full.err.find("the output file cannot be written to any more"), std::string::npos)
      << full.err;
  EXPECT_NE(full.err.find("warning: 1 taken up, 1 could not be exported"), std::string::npos)
      << full.err;
}

// An entry cut short is written as far as it goes, and named as damaged
// before the summary, which counts it; the run did not do all it should.
TEST_F(CliJobsTest, AnEntryCutShortIsWrittenAndNamedAsDamaged) {
  // The last entry loses its end: the archive was cut short.
  const std::string bytes = ReadBytes(archive_);
  WriteBytes(archive_, bytes.substr(0, bytes.size() - 100));
  const std::string to = out_.File("wav");
  CommandResult run = RunCommand(RunExport, {archive_, "--to", to, "--type", "wav", "--json"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("\"name\": \"v_0003\", \"name_hex\": \"765f30303033\", \"status\": "
                         "\"written\", \"problem\": \"cut_short\", \"reason\": \"cut short: "),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"done\": 3, \"skipped\": 0, \"failed\": 0,"), std::string::npos);
  const size_t reason = run.err.find("kowaki-cli: v_0003: written, but damaged: cut short");
  EXPECT_NE(reason, std::string::npos) << run.err;
  EXPECT_GT(run.err.find("kowaki-cli: 3 written (1 damaged), 0 skipped, 0 failed;"), reason)
      << run.err;
  EXPECT_TRUE(std::filesystem::exists(to + "/v_0003.wav"));
}

TEST_F(CliJobsTest, ExportOnFourThreadsWritesWhatOneWrites) {
  for (const char* type : {"ogg", "wav"}) {
    std::vector<std::map<std::string, std::string>> trees;
    for (const char* jobs : {"-j1", "-j4"}) {
      const std::string to = out_.File(std::string(type) + jobs);
      ASSERT_EQ(RunCommand(RunExport, {archive_, "--to", to, "--type", type, jobs}).code, 0);
      std::map<std::string, std::string>& tree = trees.emplace_back();
      for (const auto& file : std::filesystem::directory_iterator(to)) {
        tree[file.path().filename().string()] = ReadBytes(file.path().string());
      }
    }
    EXPECT_EQ(trees[0], trees[1]) << type;
    EXPECT_EQ(trees[0].size(), 3u);
  }
  for (const char* jobs : {"--jobs=1", "--jobs=4"}) {
    const std::string merged = out_.File(std::string("all") + jobs + ".wav");
    ASSERT_EQ(RunCommand(RunExport, {archive_, "--merge", merged, "--rate", "22050", jobs}).code,
              0);
  }
  EXPECT_EQ(ReadBytes(out_.File("all--jobs=1.wav")), ReadBytes(out_.File("all--jobs=4.wav")));
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--to", out_.File("x"), "-j", "0"}).code, 2);
}

TEST_F(CliJobsTest, SettingsShowsAndStoresTheOutputSettings) {
  CommandResult shown = RunCommand(RunSettings, {});
  EXPECT_EQ(shown.code, 0);
  EXPECT_EQ(shown.out, "type      ogg\nrate      source\nchannels  source\nmerge     off\n");
  CommandResult set =
      RunCommand(RunSettings, {"--type", "wav", "--rate", "22050", "--merge", "on"});
  EXPECT_EQ(set.code, 0) << set.err;
  EXPECT_EQ(RunCommand(RunSettings, {}).out,
            "type      wav\nrate      22050\nchannels  source\nmerge     on\n");
  EXPECT_EQ(RunCommand(RunSettings, {"--rate", "fast"}).code, 2);
  EXPECT_EQ(RunCommand(RunSettings, {"--merge", "yes"}).code, 2);

  // The stored settings are the export's unless an option says otherwise.
  CommandResult to = RunCommand(RunExport, {archive_, "--to", out_.path().string(), "v_0003"});
  EXPECT_EQ(to.code, 0) << to.err;
  EXPECT_EQ(out_.List(), std::vector<std::string>{"v_0003.wav"});
  EXPECT_EQ(ReadBytes(out_.File("v_0003.wav")).substr(24, 4), std::string("\x22\x56\0\0", 4));

  EXPECT_EQ(RunCommand(RunSettings, {"--type", "ogg", "--rate", "source", "--merge", "off"}).code,
            0);
}

// A stored FLAC type is kowaki-cli's to write; a merge without --type
// follows its file's name, then the stored type.
TEST_F(CliJobsTest, FlacIsStoredAndAMergeFollowsItsFilesName) {
  EXPECT_EQ(RunCommand(RunSettings, {"--type", "flac"}).code, 0);
  EXPECT_EQ(RunCommand(RunSettings, {}).out,
            "type      flac\nrate      source\nchannels  source\nmerge     off\n");
  EXPECT_EQ(RunCommand(RunExport, {archive_, "--to", out_.File("d"), "v_0003"}).code, 0);
  EXPECT_EQ(ReadBytes(out_.File("d/v_0003.flac")).substr(0, 4), "fLaC");
  for (const char* name : {"m.wav", "m.FLAC", "m"}) {
    EXPECT_EQ(RunCommand(RunExport, {archive_, "--merge", out_.File(name), "v_0003"}).code, 0);
  }
  EXPECT_EQ(ReadBytes(out_.File("m.wav")).substr(0, 4), "RIFF");
  EXPECT_EQ(ReadBytes(out_.File("m.FLAC")).substr(0, 4), "fLaC");
  EXPECT_EQ(ReadBytes(out_.File("m")).substr(0, 4), "fLaC");
  EXPECT_EQ(
      RunCommand(RunExport, {archive_, "--merge", out_.File("w.flac"), "--type", "wav", "v_0003"})
          .code,
      0);
  EXPECT_EQ(ReadBytes(out_.File("w.flac")).substr(0, 4), "RIFF");  // --type says
}

// A FLAC cue sheet holds 254 tracks besides its lead-out: a marked FLAC
// merge of more entries is refused before anything is written.
TEST_F(CliJobsTest, AMarkedFlacMergeTakesAtMost254Entries) {
  std::vector<Clip> clips(255, Voice("", 8000, 1, 0.05));
  for (size_t i = 0; i < clips.size(); ++i) clips[i].name = "e" + std::to_string(i);
  MakeArchive(clips);
  const std::string merge = out_.File("all.flac");
  CommandResult refused = RunCommand(RunExport, {archive_, "--merge", merge, "--markers"});
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.err.find("holds at most 254 tracks; 255 entries are selected"),
            std::string::npos)
      << refused.err;
  EXPECT_FALSE(std::filesystem::exists(merge));
  CommandResult taken = RunCommand(RunExport, {archive_, "--merge", merge, "--markers", "e1*"});
  EXPECT_EQ(taken.code, 0) << taken.err;
  EXPECT_EQ(ReadBytes(merge).substr(0, 4), "fLaC");
}

// A rate the settings file holds that the dialog does not offer is read as
// the dialog shows it, so that an export writes what the window shows;
// options take only what the dialog offers.
TEST_F(CliJobsTest, StoredSettingsReadAsTheDialogShowsThem) {
  // Written as the store keeps them: the registry on Windows, else the file.
  const auto store = [](int32_t frq, int32_t ch) {
    const NamedValue values[] = {{"type", 1}, {"frq", frq}, {"ch", ch}};
    ASSERT_TRUE(OpenSettingsStore()->WriteWords(kSettingsKey, values));
  };
  store(1, 0);  // 1 Hz, no channels
  EXPECT_EQ(RunCommand(RunSettings, {}).out,
            "type      wav\nrate      source\nchannels  source\nmerge     off\n");
  ASSERT_EQ(RunCommand(RunExport, {archive_, "--to", out_.path().string(), "v_0001"}).code, 0);
  const std::string source = ReadBytes(out_.File("v_0001.wav"));
  EXPECT_EQ(source.substr(22, 6), std::string("\x01\x00\x22\x56\0\0", 6));  // mono, 22050 Hz

  store(30000, 2);  // shows as 24000 Hz
  ASSERT_EQ(RunCommand(RunExport, {archive_, "--to", out_.path().string(), "v_0001"}).code, 0);
  EXPECT_EQ(ReadBytes(out_.File("v_0001.wav")).substr(22, 6),
            std::string("\x02\x00\xc0\x5d\0\0", 6));

  for (const std::string rate : {"30000", "1", "96000"}) {
    CommandResult refused = RunCommand(RunSettings, {"--rate", rate});
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.err.find("--rate takes 48000, 44100, 32000, 24000, 22050, 16000, 11025, "
                               "8000 or source, not '" +
                               rate + "'"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(RunCommand(RunExport, {archive_, "--to", out_.path().string(), "--rate", rate}).code,
              2);
  }
  EXPECT_TRUE(OpenSettingsStore()->RemoveKey(kSettingsKey));
}

// Names are the archive's: their control characters reach the terminal
// escaped, in the list, its JSON, and the progress line a job draws.
TEST_F(CliJobsTest, ControlsInNamesReachTheTerminalEscaped) {
  MakeArchive({Voice("\x1b[2J", 8000, 1), Voice("a\nb\x07", 8000, 1), Voice("v\x80", 8000, 1)});
  CommandResult table = RunCommand(RunList, {archive_});
  ASSERT_EQ(table.code, 0) << table.err;
  EXPECT_NE(table.out.find("    0  \\x1b[2J "), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("    1  a\\x0ab\\x07 "), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("    2  v\\x80 "), std::string::npos) << table.out;  // C1 on Windows
  EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 4);
  CommandResult json = RunCommand(RunList, {archive_, "--json"});
  EXPECT_NE(json.out.find("\"name\": \"a\\\\x0ab\\\\x07\", \"name_hex\": \"610a6207\""),
            std::string::npos)
      << json.out;
  for (const std::string& out : {table.out, json.out}) {
    EXPECT_EQ(out.find_first_of("\x1b\x07"), std::string::npos) << out;
  }

  // The progress line of a terminal, drawn as an export runs.
  cli::TerminalWindow terminal(true);
  terminal.folder_answer = out_.path().string();
  state_.window = &terminal;
  ::testing::internal::CaptureStderr();
  List();
  terminal.list().rows()[1].selected = true;
  terminal.list().rows()[2].selected = true;
  terminal.CountBytes(*state_.index);
  state_.running = 1;
  ExportJob(&state_);
  const std::string drawn = ::testing::internal::GetCapturedStderr();
  // With the share done by bytes, the time taken and the time left.
  EXPECT_NE(drawn.find("]   0% 0:00  a\\x0ab\\x07 exporting 1/2\x1b[K"), std::string::npos)
      << drawn;
  EXPECT_NE(drawn.find("]  50% 0:00 +0:00  v\\x80 exporting 2/2\x1b[K"), std::string::npos)
      << drawn;
  std::string rest = drawn;
  for (const char* own : {"\r", "\x1b[K"}) {
    for (size_t at; (at = rest.find(own)) != std::string::npos;) rest.erase(at, strlen(own));
  }
  EXPECT_EQ(rest.find_first_of("\x1b\x07\n"), std::string::npos) << drawn;
#if !defined(_WIN32)
  // A byte that starts no character is named as the other escapes are.
  EXPECT_EQ(out_.List(), (std::vector<std::string>{"a%0Ab%07.ogg", "v%80.ogg"}));
#endif
}

// Natively SDL's disk driver stands in for the sound card, writing what
// reaches it to a file; an unknown driver leaves no device at all.
#if !defined(_WIN32)
void UseNoSoundDevice() { SetEnvironment("SDL_AUDIODRIVER", "kowaki-none"); }
void UseSoundFile(const std::string& file) {
  SetEnvironment("SDL_AUDIODRIVER", "disk");
  SetEnvironment("SDL_DISKAUDIOFILE", file);
}

TEST_F(CliJobsTest, PlayHandsTheDecodedEntryToTheSoundDevice) {
  const std::string heard = out_.File("heard.raw");
  UseSoundFile(heard);
  CommandResult result = RunCommand(RunPlay, {archive_, "こ*", "--json"});
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_NE(result.out.find("\"selected\": 1, \"done\": 1, \"skipped\": 0, \"failed\": 0"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("\"name\": \"こえ\", \"name_hex\": \"82b182a6\", \"status\": "
                            "\"played\", \"problem\": null, \"reason\": null, \"output\": null, "
                            "\"frames\": 22050, \"bytes\": 0}]}\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.err.find("warning"), std::string::npos) << result.err;
  ExpectHeard(ReadBytes(heard), Decoded(2));
}

TEST_F(CliJobsTest, CtrlCStopsThePlaybackAndTheEndMessagesFollow) {
  const std::string heard = out_.File("heard.raw");
  UseSoundFile(heard);
  std::thread interrupt([&heard] {
    // The device opens its file for the first entry, which lasts 0.3 s.
    for (int i = 0; i < 1000 && !std::filesystem::exists(heard); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::raise(SIGINT);
  });
  CommandResult result = RunCommand(RunPlay, {archive_});
  interrupt.join();
  EXPECT_EQ(result.code, 130);
  EXPECT_NE(result.err.find("warning: playback stopped; entries left: 2"), std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("could not be played"), std::string::npos) << result.err;
}
#else
// Under Wine there is no sound device unless the test sets one up.
void UseNoSoundDevice() {}
#endif

TEST_F(CliJobsTest, PlayWithoutASoundDeviceFailsEveryEntry) {
  UseNoSoundDevice();
  if (WaveOutPlayer::create(MakePcmFormat(22050, 1, 16), 2048))
    GTEST_SKIP() << "a sound device is present";
  CommandResult result = RunCommand(RunPlay, {archive_, "--json"});
  EXPECT_EQ(result.code, 1);
  EXPECT_NE(result.err.find("kowaki-cli: v_0001: there is no sound device to play on\n"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.out.find("\"status\": \"failed\", \"problem\": \"no_device\", \"reason\": "
                            "\"there is no sound device to play on\""),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.err.find("warning: 3 taken up, 3 could not be played"), std::string::npos)
      << result.err;
}

TEST_F(CliJobsTest, PlayRefusesBadRequestsBeforePlayingAnything) {
  UseNoSoundDevice();
  CommandResult unknown = RunCommand(RunPlay, {archive_, "v_0001", "nothing*"});
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("'nothing*' names no listed entry"), std::string::npos) << unknown.err;
  EXPECT_EQ(unknown.err.find("could not be played"), std::string::npos) << unknown.err;
  EXPECT_EQ(RunCommand(RunPlay, {archive_, "#1"}).code, 2);  // not listed
  EXPECT_EQ(RunCommand(RunPlay, {archive_, "--loud"}).code, 2);
  CommandResult missing = RunCommand(RunPlay, {dir_.File("missing.arc")});
  EXPECT_EQ(missing.code, 2);
  EXPECT_NE(missing.err.find("cannot open " + dir_.File("missing.arc")), std::string::npos);
}

}  // namespace
}  // namespace kowaki::test
