// kowaki-cli run as a child process, as from a shell: its standard output
// a pipe or a redirected file, and signals arriving while it writes.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string_view>
#include <thread>
#include <utility>

#include "archive/archive_writer.h"
#include "common/little_endian.h"
#include "tests/convert/wav_test_util.h"
#include "tests/support/child_process.h"
#include "tests/support/files.h"
#include "tests/support/run_command.h"
#include "tests/support/why.h"

namespace kowaki::test {
namespace {

constexpr int kExited0 = 0;  // the wait status of exit code 0

std::vector<std::string> TestDirList(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(folder))
    names.push_back(item.path().filename().string());
  return names;
}

uint32_t SizeAt(const std::string& file, size_t offset) {
  return file.size() < offset + 4 ? 0 : ReadLe32(reinterpret_cast<const uint8_t*>(&file[offset]));
}

class CliProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEnvironment("XDG_CONFIG_HOME", dir_.File("config")); }

  // An archive of `count` entries, each the same clip, after a text entry
  // when `readme`.
  std::string MakeArchive(int count, double seconds, bool readme = false) {
    const std::string clip = VorbisClip(22050, 1, seconds);
    ArchiveWriter writer;
    if (readme) {
      EXPECT_EQ(test::Why(writer.AddBytes("readme", "some text")), "");
    }
    for (int i = 0; i < count; ++i)
      EXPECT_EQ(test::Why(writer.AddBytes("v" + std::to_string(i), clip)), "");
    const std::string path = dir_.File("voice.arc");
    EXPECT_EQ(test::Why(writer.Write(path)), "");
    return path;
  }

  static std::vector<std::string> Cli(std::vector<std::string> args) {
    args.insert(args.begin(), KOWAKI_CLI);
    return args;
  }

  TempDir dir_;
};

// A merge into a pipe cannot be patched: its header says "up to the end",
// and a reader such as sox, or convert, takes all of it. Into a redirected file it is
// the file a merge writes, and /dev/stdout stays what it was.
TEST_F(CliProcessTest, MergeIntoAStreamSaysItsDataRunsToTheEnd) {
  const std::string archive = MakeArchive(3, 0.5);
  const auto merge = [&](const std::string& out) {
    return std::vector<std::string>{"export", archive, "--merge", out, "--rate", "16000"};
  };
  ASSERT_EQ(RunChild(Cli(merge(dir_.File("ref.wav"))), nullptr), kExited0);
  const std::string expected = ReadBytes(dir_.File("ref.wav"));
  ASSERT_EQ(SizeAt(expected, 40), expected.size() - 44);

  std::string piped;
  ASSERT_EQ(RunChild(Cli(merge("-")), &piped), kExited0);
  EXPECT_EQ(SizeAt(piped, 4), 0xFFFFFFFFu);
  EXPECT_EQ(SizeAt(piped, 40), 0xFFFFFFFFu);
  EXPECT_TRUE(piped.substr(44) == expected.substr(44));
  // Kept in a file, it converts as the file it stands for.
  WriteBytes(dir_.File("piped.wav"), piped);
  ASSERT_EQ(RunChild(Cli({"convert", dir_.File("piped.wav"), dir_.File("again.wav")}), nullptr),
            kExited0);
  EXPECT_TRUE(ReadBytes(dir_.File("again.wav")) == expected);

  struct stat before, after;
  const bool link = lstat("/dev/stdout", &before) == 0 && S_ISLNK(before.st_mode);
  ChildProcess redirected(Cli(merge("/dev/stdout")), dir_.File("redirected.wav"));
  EXPECT_EQ(redirected.Wait(), kExited0);
  EXPECT_TRUE(ReadBytes(dir_.File("redirected.wav")) == expected);
  EXPECT_TRUE(!link || (lstat("/dev/stdout", &after) == 0 && S_ISLNK(after.st_mode)));

  if (std::string(KOWAKI_SOX).empty()) return;
  const std::string shell = "'" + std::string(KOWAKI_CLI) + "' export '" + archive +
                            "' --merge - --rate 16000 | " + KOWAKI_SOX + " -V1 -t wav - '" +
                            dir_.File("sox.wav") + "'";
  ASSERT_EQ(RunChild({"/bin/sh", "-c", shell}, nullptr), kExited0);
  const std::string decoded = ReadBytes(dir_.File("sox.wav"));
  ASSERT_GE(decoded.size(), expected.size());
  EXPECT_TRUE(decoded.substr(decoded.size() - (expected.size() - 44)) == expected.substr(44));
}

// What the flac tools make of our FLAC files: `flac -d` gives the WAV
// export's samples, metaflac reads each entry's tags and, of a marked
// merge with gaps, the cue sheet: a track where each entry's audio starts.
TEST_F(CliProcessTest, FlacFilesReadBackWithTheFlacTools) {
  if (std::string(KOWAKI_FLAC).empty() || std::string(KOWAKI_METAFLAC).empty()) {
    GTEST_SKIP() << "no flac or metaflac here (tools/install-deps.sh installs them)";
  }
  const std::string archive = MakeArchive(3, 0.5);
  const auto data_of = [](const std::string& wav) { return wav.substr(44, SizeAt(wav, 40)); };
  const auto decoded = [&](const std::string& flac) {
    EXPECT_EQ(RunChild({KOWAKI_FLAC, "-d", "-s", "-f", "-o", dir_.File("d.wav"), flac}, nullptr),
              kExited0);
    return data_of(ReadBytes(dir_.File("d.wav")));
  };
  for (const char* type : {"wav", "flac"}) {
    ASSERT_EQ(
        RunChild(Cli({"export", archive, "--to", dir_.File(type), "--type", type, "-q"}), nullptr),
        kExited0);
  }
  for (const std::string entry : {"0", "1", "2"}) {
    const std::string flac = dir_.File("flac/v" + entry + ".flac");
    EXPECT_TRUE(decoded(flac) == data_of(ReadBytes(dir_.File("wav/v" + entry + ".wav"))));
    std::string tags;
    EXPECT_EQ(RunChild({KOWAKI_METAFLAC, "--export-tags-to=-", flac}, &tags), kExited0);
    EXPECT_EQ(tags, "TITLE=v" + entry + "\nTRACKNUMBER=" + entry + "\nALBUM=voice.arc\n");
  }

  for (const char* merge : {"all.wav", "all.flac"}) {
    ASSERT_EQ(RunChild(Cli({"export", archive, "--merge", dir_.File(merge), "--markers", "--gap",
                            "0.5", "-q"}),
                       nullptr),
              kExited0);
  }
  const std::string merged = data_of(ReadBytes(dir_.File("all.wav")));
  EXPECT_TRUE(decoded(dir_.File("all.flac")) == merged);
  const size_t gap = 11025, clip = (merged.size() / 2 - 2 * gap) / 3;
  std::string expected = "FILE \"" + dir_.File("all.flac") + "\" FLAC\n";
  for (size_t track = 0; track < 3; ++track) {
    expected += "  TRACK 0" + std::to_string(track + 1) + " AUDIO\n    INDEX 01 " +
                std::to_string(track * (clip + gap)) + "\n";
  }
  expected +=
      "REM FLAC__lead-in 0\nREM FLAC__lead-out 255 " + std::to_string(3 * clip + 2 * gap) + "\n";
  std::string cue_sheet;
  EXPECT_EQ(
      RunChild({KOWAKI_METAFLAC, "--export-cuesheet-to=-", dir_.File("all.flac")}, &cue_sheet),
      kExited0);
  EXPECT_EQ(cue_sheet, expected);
}

// What ffmpeg's EBU R128 meter says of a file: the integrated loudness and
// true peak of its summary.
struct FfmpegLevels {
  double integrated = 0;
  double true_peak = 0;
};
FfmpegLevels MeasureWithFfmpeg(const std::string& file) {
  std::string out;
  EXPECT_EQ(RunChild({"/bin/sh", "-c",
                      "exec \"$0\" -hide_banner -nostats -i \"$1\" -af ebur128=peak=true "
                      "-f null - 2>&1",
                      KOWAKI_FFMPEG, file},
                     &out),
            kExited0);
  const std::string summary = out.substr(std::min(out.rfind("Summary:"), out.size()));
  FfmpegLevels levels{-100, 100};
  std::sscanf(summary.c_str() + std::min(summary.find("I:"), summary.size()), "I: %lf",
              &levels.integrated);
  std::sscanf(summary.c_str() + std::min(summary.find("Peak:"), summary.size()), "Peak: %lf",
              &levels.true_peak);
  return levels;
}

// Normalised files measured by an independent meter: each entry, and a
// target the ceiling forbids, and an album merge as a whole.
TEST_F(CliProcessTest, FfmpegMeasuresTheLoudnessAskedFor) {
  if (std::string(KOWAKI_FFMPEG).empty()) GTEST_SKIP() << "no ffmpeg here";
  const std::string archive = MakeArchive(2, 1.5);
  for (const auto& [target, out] : {std::pair{"-16", "a"}, std::pair{"-6", "b"}}) {
    ASSERT_EQ(RunChild(Cli({"export", archive, "--to", dir_.File(out), "--type", "wav", "--rate",
                            "44100", "--loudness", target, "-q"}),
                       nullptr),
              kExited0);
    for (const char* entry : {"/v0.wav", "/v1.wav"}) {
      const FfmpegLevels levels = MeasureWithFfmpeg(dir_.File(out) + entry);
      if (std::string_view(target) == "-16") {
        EXPECT_NEAR(levels.integrated, -16, 1);
      }
      EXPECT_LE(levels.true_peak, -1.0);
    }
  }
  ASSERT_EQ(RunChild(Cli({"export", archive, "--merge", dir_.File("all.wav"), "--loudness", "-20",
                          "--true-peak", "-3", "--loudness-mode", "album", "-q"}),
                     nullptr),
            kExited0);
  const FfmpegLevels album = MeasureWithFfmpeg(dir_.File("all.wav"));
  EXPECT_NEAR(album.integrated, -20, 1);
  EXPECT_LE(album.true_peak, -3.0);
}

// A command line run by the shell with stderr into the file "err".
std::vector<std::string> Shell(const std::string& command_line) {
  return {"/bin/sh", "-c", "exec " + command_line + " 2>err"};
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// The summary line ends a run on stderr; -q leaves only what went wrong.
TEST_F(CliProcessTest, QuietLeavesOnlyWhatWentWrong) {
  const std::string archive = MakeArchive(2, 0.2);
  std::filesystem::current_path(dir_.path());
  const std::string export_line =
      Quoted(KOWAKI_CLI) + " export " + Quoted(archive) + " --to out --type wav";
  ASSERT_EQ(RunChild(Shell(export_line), nullptr), kExited0);
  EXPECT_TRUE(ReadBytes(dir_.File("err"))
                  .starts_with("kowaki-cli: 2 written, 0 skipped, 0 failed; 17.2 KiB in "))
      << ReadBytes(dir_.File("err"));
  EXPECT_NE(ReadBytes(dir_.File("err"))
                .find("s; wav, the source's rate, the source's channels (the options)\n"),
            std::string::npos);
  ASSERT_EQ(RunChild(Shell(export_line + " -q -n"), nullptr), kExited0);
  EXPECT_EQ(ReadBytes(dir_.File("err")), "");
  ASSERT_NE(RunChild(Shell(export_line + " --quiet --channels 7"), nullptr), kExited0);
  EXPECT_TRUE(ReadBytes(dir_.File("err")).starts_with("kowaki-cli: --channels takes 1, 2 "));
  // The modders' commands: their summaries on stderr, none with -q; stdout
  // only what is asked of it.
  const std::string cli = Quoted(KOWAKI_CLI) + " ";
  const std::vector<std::string> lines = {"unpack " + Quoted(archive) + " w", "status w",
                                          "pack -o new.arc --from w", "replace new.arc v0 w/v1.ogg",
                                          "pack -o new.arc w/v0.ogg"};
  for (const std::string& line : lines) {
    std::string out;
    ASSERT_EQ(RunChild(Shell(cli + line + " --lang en"), &out), kExited0) << line;
    EXPECT_EQ(out, "") << line;
    EXPECT_TRUE(ReadBytes(dir_.File("err")).starts_with("kowaki-cli: ")) << line;
    if (line.starts_with("unpack")) std::filesystem::remove_all(dir_.File("w"));
    ASSERT_EQ(RunChild(Shell(cli + line + " -q"), &out), kExited0) << line;
    EXPECT_EQ(out + ReadBytes(dir_.File("err")), "") << line;
  }
}

// Ctrl-C stops an export as the stop button does: the end messages, no
// temporary left, and exit 130.
TEST_F(CliProcessTest, CtrlCStopsAnExportWithExit130) {
  const std::string archive = MakeArchive(4, 30.0);
  std::filesystem::current_path(dir_.path());
  std::filesystem::create_directory(dir_.File("out"));
  ChildProcess child(Shell(Quoted(KOWAKI_CLI) + " export " + Quoted(archive) +
                           " --merge out/all.wav --rate 8000 -j 1"));
  for (int i = 0; i < 20000 && std::filesystem::is_empty(dir_.File("out")); ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  child.Signal(SIGINT);
  const int status = child.Wait();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::string err = ReadBytes(dir_.File("err"));
  EXPECT_NE(err.find("kowaki-cli: warning: export stopped; entries left: "), std::string::npos)
      << err;
  EXPECT_NE(err.find(" left; "), std::string::npos) << err;  // the summary
  for (const std::string& name : TestDirList(dir_.File("out"))) EXPECT_EQ(name, "all.wav");
}

// verify's summary and what is not audio go to stderr, which -q leaves to
// what went wrong; stdout carries only the JSON.
TEST_F(CliProcessTest, VerifyReportsOnStderr) {
  const std::string archive = MakeArchive(1, 0.2, true);
  std::filesystem::current_path(dir_.path());
  const std::string verify = Quoted(KOWAKI_CLI) + " verify " + Quoted(archive);
  std::string out;
  ASSERT_EQ(RunChild(Shell(verify), &out), kExited0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(ReadBytes(dir_.File("err")),
            "kowaki-cli: entry 0 (readme): not audio (no Ogg data)\n"
            "kowaki-cli: 1 of 2 entries decode whole, 1 not audio\n");
  ASSERT_EQ(RunChild(Shell(verify + " -q --json"), &out), kExited0);
  EXPECT_TRUE(out.starts_with("{\"path\": ")) << out;
  EXPECT_EQ(ReadBytes(dir_.File("err")), "");
  ASSERT_NE(RunChild(Shell(verify + " -q --strict"), &out), kExited0);
  EXPECT_EQ(ReadBytes(dir_.File("err")), "kowaki-cli: entry 0 (readme): not audio (no Ogg data)\n");
}

// The first Ctrl-C stops verify between entries: the end messages and the
// JSON say what was checked, and the exit code is 130.
TEST_F(CliProcessTest, CtrlCStopsVerifyWithExit130) {
  const std::string archive = MakeArchive(40, 30.0, true);
  std::filesystem::current_path(dir_.path());
  ChildProcess child(
      Shell(Quoted(KOWAKI_CLI) + " verify " + Quoted(archive) + " --json -j 1 --lang en"));
  // The text entry comes first: its line says the work began.
  for (int i = 0; i < 20000 && ReadBytes(dir_.File("err")).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  child.Signal(SIGINT);
  const std::string json = child.ReadOutput();
  const int status = child.Wait();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::string err = ReadBytes(dir_.File("err"));
  EXPECT_NE(err.find("\nkowaki-cli: interrupted\nkowaki-cli: "), std::string::npos) << err;
  EXPECT_NE(err.find(" entries decode whole, 1 not audio, "), std::string::npos) << err;
  EXPECT_TRUE(err.ends_with(" left\n")) << err;
  EXPECT_TRUE(json.starts_with("{\"path\": ")) << json;
  EXPECT_NE(json.find("\"count\": 41, \"checked\": "), std::string::npos) << json;
  EXPECT_EQ(json.find("\"checked\": 41"), std::string::npos) << json;
  EXPECT_NE(json.find("\"interrupted\": true, \"failures\": []}"), std::string::npos) << json;
}

// Ctrl-C while export or play still lists the archive stops the run
// before its first entry: the summary and the JSON object say that none
// was taken up, and the exit code that it was stopped. list prints no
// rows and says it was interrupted.
TEST_F(CliProcessTest, CtrlCWhileListingStopsTheRunBeforeItsFirstEntry) {
  // Many entries that are all one short clip, stored once: a long listing.
  const std::string clip = VorbisClip(22050, 1, 0.05);
  constexpr uint32_t kEntries = 200000;
  std::string table;
  for (uint32_t i = 0; i < kEntries; ++i) {
    table +=
        Record("v" + std::to_string(i), static_cast<uint32_t>(clip.size()), 16 + 17 * kEntries);
  }
  WriteBytes(dir_.File("voice.arc"), ArchiveHeader(1, 0, kEntries, 16) + table + clip);
  std::filesystem::current_path(dir_.path());
  const std::pair<std::string, std::string> runs[] = {
      {"export voice.arc --to out --json", "kowaki-cli: 0 written, 0 skipped, 0 failed"},
      {"play voice.arc --json", "kowaki-cli: 0 played, 0 failed"}};
  for (const auto& [command_line, summary] : runs) {
    ChildProcess child(Shell(Quoted(KOWAKI_CLI) + " " + command_line));
    child.WaitForThreads(2);  // the listing's worker
    child.Signal(SIGINT);
    const std::string json = child.ReadOutput();
    const int status = child.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << command_line;
    EXPECT_EQ(WEXITSTATUS(status), 130) << command_line;
    const std::string err = ReadBytes(dir_.File("err"));
    EXPECT_TRUE(err.find(summary) != std::string::npos) << err;
    EXPECT_NE(json.find("\"done\": 0, "), std::string::npos) << json;
    EXPECT_NE(json.find("\"interrupted\": true, \"entries\": []}"), std::string::npos) << json;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_.File("out")));
  ChildProcess list(Shell(Quoted(KOWAKI_CLI) + " list voice.arc --json --lang en"));
  list.WaitForThreads(2);
  list.Signal(SIGINT);
  EXPECT_EQ(list.ReadOutput(), "");
  const int status = list.Wait();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_EQ(ReadBytes(dir_.File("err")), "kowaki-cli: interrupted\n");
}

// Waits until `folder` holds something.
bool Appeared(const std::string& folder) {
  for (int i = 0; i < 20000; ++i) {
    if (!std::filesystem::is_empty(folder)) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return false;
}

// Ctrl-C during an unpack: the entries so far are kept, the manifest says
// which were not unpacked, and pack --from refuses it unless told.
TEST_F(CliProcessTest, CtrlCStopsAnUnpackWithAManifestOfWhatItUnpacked) {
  const std::string archive = MakeArchive(10000, 0.02);
  std::filesystem::current_path(dir_.path());
  std::filesystem::create_directory(dir_.File("w"));
  ChildProcess child(Shell(Quoted(KOWAKI_CLI) + " unpack " + Quoted(archive) + " w --lang en"));
  ASSERT_TRUE(Appeared(dir_.File("w")));
  child.Signal(SIGINT);
  const int status = child.Wait();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_NE(ReadBytes(dir_.File("err"))
                .find(" of 10000 entries unpacked into w; manifest.txt "
                      "marks the rest as stopped"),
            std::string::npos)
      << ReadBytes(dir_.File("err"));
  const std::string manifest = ReadBytes(dir_.File("w/manifest.txt"));
  const size_t stopped = manifest.find("\nstopped ");
  ASSERT_NE(stopped, std::string::npos);
  EXPECT_EQ(manifest.find("\nentry ", stopped), std::string::npos);
  // One file for each entry line, and nothing else but the manifest.
  const auto lines = [&](std::string_view kind) {
    size_t n = 0;
    for (size_t at = 0; (at = manifest.find(kind, at)) != std::string::npos; ++at) ++n;
    return n;
  };
  EXPECT_EQ(TestDirList(dir_.File("w")).size(), lines("\nentry ") + 1);
  EXPECT_EQ(lines("\nentry ") + lines("\nstopped "), 10000u);
  EXPECT_NE(RunChild(Cli({"pack", "-o", dir_.File("new.arc"), "--from", "w", "-q"}), nullptr),
            kExited0);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("new.arc")));
}

// The first Ctrl-C stops pack, pack --from and replace with nothing
// replaced and no temporary left: exit 130, after saying so.
TEST_F(CliProcessTest, CtrlCStopsPackAndReplaceLeavingTheArchiveAsItWas) {
  WriteBytes(dir_.File("big.bin"), "");
  std::filesystem::resize_file(dir_.File("big.bin"), 64 << 20);
  std::filesystem::create_directory(dir_.File("out"));
  ArchiveWriter writer;
  ASSERT_EQ(Why(writer.AddBytes("clip", VorbisClip(22050, 1, 0.2))), "");
  ASSERT_EQ(Why(writer.AddFile("big", dir_.File("big.bin"))), "");
  ASSERT_EQ(Why(writer.Write(dir_.File("out/voice.arc"))), "");
  const std::string before = ReadBytes(dir_.File("out/voice.arc"));
  ASSERT_EQ(RunChild(Cli({"unpack", dir_.File("out/voice.arc"), dir_.File("w"), "-q"}), nullptr),
            kExited0);
  std::filesystem::current_path(dir_.path());
  const std::string cli = Quoted(KOWAKI_CLI);
  for (const std::string& line :
       {cli + " pack -o out/voice.arc --force big.bin", cli + " pack -o out/voice.arc --from w",
        cli + " replace out/voice.arc clip big.bin --force"}) {
    ChildProcess child(Shell(line + " --lang en"));
    // The temporary beside the archive.
    for (int i = 0; i < 20000 && TestDirList(dir_.File("out")).size() < 2; ++i) {
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    child.Signal(SIGINT);
    const int status = child.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << line;
    EXPECT_EQ(WEXITSTATUS(status), 130) << line;
    EXPECT_EQ(ReadBytes(dir_.File("err")),
              "kowaki-cli: stopped: nothing written, out/voice.arc is as it was\n")
        << line;
    EXPECT_EQ(TestDirList(dir_.File("out")), std::vector<std::string>{"voice.arc"}) << line;
    EXPECT_TRUE(ReadBytes(dir_.File("out/voice.arc")) == before) << line;
  }
}

// Standard output opened on the archive or on convert's IN is refused,
// however the output names it, before anything is written; OUT = IN by
// name is replaced whole and keeps the file's mode.
TEST_F(CliProcessTest, AnInputIsNeverWrittenInPlace) {
  const std::string archive = MakeArchive(2, 0.2);
  std::filesystem::current_path(dir_.path());
  const std::string cli = Quoted(KOWAKI_CLI);
  const std::string before = ReadBytes(archive);
  for (const std::string merge : {"-", "/dev/stdout", "/dev/fd/1"}) {
    const int status =
        RunChild(Shell(cli + " export voice.arc --merge " + merge + " 1<>voice.arc"), nullptr);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << merge;
    EXPECT_NE(ReadBytes("err").find(merge + ": is voice.arc, which this command reads"),
              std::string::npos)
        << ReadBytes("err");
  }
  // replace rewrites its archive, but whole: never through a stream on it.
  WriteBytes("new.ogg", VorbisClip(22050, 1, 0.1));
  const int replaced =
      RunChild(Shell(cli + " replace /dev/stdout v0 new.ogg --no-backup 1<>voice.arc"), nullptr);
  EXPECT_TRUE(WIFEXITED(replaced) && WEXITSTATUS(replaced) == 2);
  EXPECT_TRUE(ReadBytes(archive) == before);

  ASSERT_EQ(RunChild(Cli({"export", "voice.arc", "--merge", "in.wav", "-q"}), nullptr), kExited0);
  const std::string in = ReadBytes("in.wav");
  const int status = RunChild(Shell(cli + " convert in.wav - --rate 8000 1<>in.wav"), nullptr);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
  EXPECT_TRUE(ReadBytes("in.wav") == in);
  ASSERT_EQ(chmod("in.wav", 0600), 0);
  ASSERT_EQ(RunChild(Cli({"convert", "in.wav", "in.wav", "--rate", "8000"}), nullptr), kExited0);
  EXPECT_EQ(SizeAt(ReadBytes("in.wav"), 24), 8000u);
  struct stat info;
  ASSERT_EQ(stat("in.wav", &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// kill -9 leaves an export's temporaries; the next run into the folder
// removes them once they are old enough to be no live run's, and nothing
// else.
TEST_F(CliProcessTest, TheNextRunRemovesWhatAKilledOneLeft) {
  const std::string archive = MakeArchive(4, 30.0);
  const std::string out = dir_.File("out");
  std::filesystem::create_directory(out);
  ChildProcess child(Cli({"export", archive, "--to", out, "--type", "wav", "-j", "2"}));
  for (int i = 0; i < 20000 && std::filesystem::is_empty(out); ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  child.Signal(SIGKILL);
  child.Wait();
  const std::vector<std::string> left = TestDirList(out);
  ASSERT_TRUE(std::ranges::any_of(left, [](const std::string& name) {
    return name.starts_with(".v") && name.ends_with(".tmp");
  }));
  WriteBytes(dir_.File("out/notes.txt"), "mine");
  for (const std::string& name : TestDirList(out)) {
    std::filesystem::last_write_time(
        dir_.File("out/" + name),
        std::filesystem::file_time_type::clock::now() - std::chrono::minutes(20));
  }
  ASSERT_EQ(RunChild(Cli({"export", archive, "--to", out, "-q", "v0"}), nullptr), kExited0);
  for (const std::string& name : TestDirList(out)) {
    EXPECT_FALSE(name.ends_with(".tmp")) << name;
  }
  EXPECT_EQ(ReadBytes(dir_.File("out/notes.txt")), "mine");
  EXPECT_TRUE(std::filesystem::exists(dir_.File("out/v0.ogg")));
}

// A signal while a temporary exists: kowaki-cli removes it and ends by
// that signal.
struct SignalCase {
  const char* name;
  std::vector<int> signals;  // one, or the same twice
  const char* command;       // "pack", "export" or "convert"
};

class CliSignalTest : public CliProcessTest, public ::testing::WithParamInterface<SignalCase> {
 protected:
  // The command's arguments, writing into the folder "out".
  std::vector<std::string> Command(const std::string& command) {
    std::filesystem::create_directory(dir_.File("out"));
    const std::string out = dir_.File("out/result");
    if (command == "pack") {
      WriteBytes(dir_.File("big.bin"), "");
      std::filesystem::resize_file(dir_.File("big.bin"), 64 << 20);
      return Cli({"pack", "-o", out, "--force", dir_.File("big.bin")});
    }
    if (command == "export") {
      return Cli({"export", MakeArchive(4, 30.0), "--merge", out, "--rate", "8000"});
    }
    // Twenty seconds of stereo into the slowest of the encoders.
    const std::string silence(20 * 44100 * 4, '\0');
    WriteBytes(dir_.File("in.wav"),
               Riff(Chunk("fmt ", Fmt(1, 2, 44100, 16)) + Chunk("data", silence)));
    return Cli({"convert", dir_.File("in.wav"), out, "--codec", "ms-adpcm"});
  }

  // Waits until something appears in "out": the command's temporary.
  bool TemporaryAppeared() {
    for (int i = 0; i < 20000; ++i) {
      if (!std::filesystem::is_empty(dir_.File("out"))) return true;
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return false;
  }
};

TEST_P(CliSignalTest, RemovesItsTemporaryAndEndsByTheSignal) {
  const SignalCase& signal_case = GetParam();
  ChildProcess child(Command(signal_case.command));
  ASSERT_TRUE(TemporaryAppeared());
  std::this_thread::sleep_for(std::chrono::milliseconds(10));  // into the work
  child.Signal(signal_case.signals.front());
  if (signal_case.signals.size() > 1) {
    // Two at once would be one: the second comes once the first is taken,
    // while the stopped export still finishes its entry of 30 seconds.
    child.WaitUntilTaken(signal_case.signals.front());
    child.Signal(signal_case.signals.back());
  }
  const int status = child.Wait();
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), signal_case.signals.back());
  EXPECT_TRUE(std::filesystem::is_empty(dir_.File("out")));
}

INSTANTIATE_TEST_SUITE_P(
    Signals, CliSignalTest,
    ::testing::Values(SignalCase{"PackHungUp", {SIGHUP}, "pack"},
                      SignalCase{"PackTerminated", {SIGTERM}, "pack"},
                      SignalCase{"PackQuit", {SIGQUIT}, "pack"},
                      SignalCase{"PackBrokenPipe", {SIGPIPE}, "pack"},
                      SignalCase{"ExportInterruptedTwice", {SIGINT, SIGINT}, "export"},
                      SignalCase{"ExportTerminated", {SIGTERM}, "export"},
                      SignalCase{"ConvertTerminated", {SIGTERM}, "convert"},
                      SignalCase{"ConvertHungUp", {SIGHUP}, "convert"}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace kowaki::test
