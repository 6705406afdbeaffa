#include "common/output_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "common/input_files.h"
#include "common/leftovers.h"

#include "tests/support/files.h"
#include "tests/support/why.h"
#include "text/catalogue.h"

#include <fcntl.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif
#if defined(__linux__)
#include <sys/xattr.h>
#endif

namespace kowaki {
namespace {

namespace fs = std::filesystem;

constexpr OutputPlace kPlaces[] = {OutputPlace::kInFolder, OutputPlace::kNamed};

// Opens `path`, writes `bytes` and commits: empty, or what went wrong.
std::string WriteOutput(const std::string& path, OutputPlace place, std::string_view bytes) {
  OutputFile out;
  if (const Result<> opened = out.Open(path, place); !opened) return opened.failure().text;
  if (!out.Write(bytes.data(), bytes.size())) return "write failed";
  return test::Why(out.Commit());
}

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

// Standard output opened on `path` while it lives, as the shell's
// `1<>path` opens it.
class StdoutOn {
 public:
  explicit StdoutOn(const std::string& path) {
    std::fflush(stdout);
#if defined(_WIN32)
    saved_ = _dup(1);
    const int fd = _wopen(PathOf(path).c_str(), _O_RDWR | _O_BINARY);
    _dup2(fd, 1);
    _close(fd);
#else
    saved_ = dup(1);
    const int fd = open(PathOf(path).c_str(), O_RDWR);
    dup2(fd, 1);
    close(fd);
#endif
  }
  ~StdoutOn() {
#if defined(_WIN32)
    _dup2(saved_, 1);
    _close(saved_);
#else
    dup2(saved_, 1);
    close(saved_);
#endif
  }
  StdoutOn(const StdoutOn&) = delete;
  StdoutOn& operator=(const StdoutOn&) = delete;

 private:
  int saved_;
};

// What each of `streams` gives as an output while standard output is
// open on `path`.
std::vector<std::string> WriteStreams(const std::vector<std::string>& streams,
                                      const std::string& path) {
  std::vector<std::string> got;
  const StdoutOn redirected(path);
  for (const std::string& stream : streams)
    got.push_back(WriteOutput(stream, OutputPlace::kNamed, "x"));
  return got;
}

// `name` in `dir`, holding `bytes`, with a second name `other`: its path.
std::string TwoNamedFile(const test::TempDir& dir, const std::string& name,
                         const std::string& other, std::string_view bytes) {
  test::WriteBytes(dir.File(name), bytes);
  fs::create_hard_link(dir.path() / name, dir.path() / other);
  return dir.File(name);
}

void Age(const std::string& path, std::chrono::minutes age) {
  fs::last_write_time(PathOf(path), fs::file_time_type::clock::now() - age);
}

TEST(OutputFileTest, AppearsOnlyWhenCommitted) {
  test::TempDir dir;
  const std::string path = dir.File("out.bin");
  for (const OutputPlace place : kPlaces) {
    test::WriteBytes(path, "old");
    {
      OutputFile out;
      ASSERT_EQ(test::Why(out.Open(path, place)), "");
      EXPECT_FALSE(out.in_place());
      EXPECT_FALSE(out.is_stream());
      ASSERT_TRUE(out.Write("new data", 8));
      ASSERT_TRUE(out.Write(nullptr, 0));
      ASSERT_TRUE(out.Seek(0) && out.Write("N", 1));
      EXPECT_EQ(test::ReadBytes(path), "old");  // not yet
    }
    EXPECT_EQ(test::ReadBytes(path), "old");  // dropped without a commit
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.bin"});

    OutputFile out;
    ASSERT_EQ(test::Why(out.Open(path, place)), "");
    ASSERT_TRUE(out.Write("new data", 8) && out.Seek(0) && out.Write("N", 1) && out.Flush());
    ASSERT_EQ(test::Why(out.Commit()), "");
    EXPECT_EQ(test::ReadBytes(path), "New data");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.bin"});
  }
}

TEST(OutputFileTest, RefusesAFolderAndAMissingOne) {
  test::TempDir dir;
  for (const OutputPlace place : kPlaces) {
    EXPECT_NE(WriteOutput(dir.path().string(), place, "x"), "");
    EXPECT_NE(WriteOutput(dir.File("no/such/folder.bin"), place, "x"), "");
  }
  EXPECT_TRUE(dir.List().empty());
}

TEST(OutputFileTest, ANamedDeviceIsAStreamWrittenInPlace) {
  const std::string device = platform::KindOfPath("/dev/null") == platform::PathKind::kDevice
                                 ? "/dev/null"
                             : platform::KindOfPath("NUL") == platform::PathKind::kDevice ? "NUL"
                                                                                          : "";
  if (device.empty()) GTEST_SKIP() << "no null device";
  OutputFile out;
  ASSERT_EQ(test::Why(out.Open(device, OutputPlace::kNamed)), "");
  EXPECT_TRUE(out.in_place());
  EXPECT_TRUE(out.is_stream());
  EXPECT_FALSE(out.Seek(0));
  EXPECT_TRUE(out.Write("data", 4));
  EXPECT_EQ(test::Why(out.Commit()), "");
  EXPECT_EQ(platform::KindOfPath(device), platform::PathKind::kDevice);  // not replaced by a file
}

// Replacing takes what the read-only mark forbids, even to root: the
// open finds it, before anything is written.
TEST(OutputFileTest, AReadOnlyFileIsNotReplaced) {
  SetLanguage(Language::kEnglish);
  test::TempDir dir;
  const std::string path = dir.File("kept.wav");
  test::WriteBytes(path, "kept");
  test::SetReadOnly(path, true);
  EXPECT_EQ(test::Why(CanReplace(path)), "is read-only");
  for (const OutputPlace place : kPlaces) {
    EXPECT_EQ(WriteOutput(path, place, "new"), path + ": is read-only");
  }
  EXPECT_EQ(test::ReadBytes(path), "kept");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"kept.wav"});
  test::SetReadOnly(path, false);
  EXPECT_TRUE(CanReplace(path));
  EXPECT_TRUE(CanReplace(dir.File("missing.wav")));
}

// No output is a file the run reads, whether by its own name, another one
// (a hard link, a symbolic one) or standard output opened on it; one the
// run replaces whole (convert's IN) may be replaced, never written in place.
TEST(OutputFileTest, AnInputIsNeverWrittenOverHoweverSpelt) {
  SetLanguage(Language::kEnglish);
  test::TempDir dir;
  const std::string input = TwoNamedFile(dir, "voice.arc", "hard.wav", "archive");
  std::vector<std::string> names = {input, dir.File("hard.wav")};
  std::vector<std::string> streams = {"-"};
#if !defined(_WIN32)
  fs::create_symlink("voice.arc", dir.path() / "soft.wav");
  names.push_back(dir.File("soft.wav"));
  for (const std::string stream : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
    if (fs::exists(stream)) streams.push_back(stream);
  }
#endif
  const std::string refused = ": is " + input + ", which this command reads";
  const std::vector<std::string> before = dir.List();
  {
    const InputMark mark = MarkInput(input);
    for (const std::string& name : names) {
      EXPECT_EQ(WriteOutput(name, OutputPlace::kNamed, "new"), name + refused);
    }
    EXPECT_EQ(WriteOutput(input, OutputPlace::kInFolder, "new"), input + refused);
    const std::vector<std::string> got = WriteStreams(streams, input);
    for (size_t i = 0; i < streams.size(); ++i) EXPECT_EQ(got[i], streams[i] + refused);
  }
  EXPECT_EQ(test::ReadBytes(input), "archive");
  EXPECT_EQ(dir.List(), before);

  fs::remove(dir.path() / "hard.wav");
  {
    const InputMark mark = MarkInput(input, InputUse::kReplaced);
    EXPECT_EQ(WriteStreams({"-"}, input)[0], "-" + refused);
    EXPECT_EQ(WriteOutput(input, OutputPlace::kNamed, "new"), "");
  }
  EXPECT_EQ(test::ReadBytes(input), "new");
  EXPECT_EQ(WriteStreams({"-"}, input)[0], "");  // no longer an input: written in place
  EXPECT_EQ(test::ReadBytes(input), "xew");
}

// Replacing a file that has other names would leave them the old
// contents: refused until it has one name again.
TEST(OutputFileTest, AFileWithOtherNamesIsNotReplaced) {
  SetLanguage(Language::kEnglish);
  test::TempDir dir;
  const std::string path = TwoNamedFile(dir, "out.wav", "other.wav", "old");
  const std::string refused =
      "has 2 names (hard links): replacing it would leave the old contents under the others";
  EXPECT_EQ(test::Why(CanReplace(path)), refused);
  for (const OutputPlace place : kPlaces) {
    EXPECT_EQ(WriteOutput(path, place, "new"), path + ": " + refused);
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"other.wav", "out.wav"}));
  fs::remove(dir.path() / "other.wav");
  EXPECT_EQ(WriteOutput(path, OutputPlace::kNamed, "new"), "");
  EXPECT_EQ(test::ReadBytes(path), "new");
}

// A temporary of a process that is gone, not written to for ten minutes,
// is a killed run's leftover: the first output into its folder removes
// it. A newer one, one of a live process and anything named otherwise
// stay.
TEST(OutputFileTest, TheFirstOutputIntoAFolderRemovesLeftovers) {
  test::TempDir dir;
  const std::string gone = "999999999";  // no system's process
  const std::string own = std::to_string(platform::ProcessId());
  const std::vector<std::string> kept = {".fresh.wav.kowaki-" + gone + "-Ab3dEf.tmp",
                                         ".mine.wav.kowaki-" + own + "-Ab3dEf.tmp",
                                         "a.wav.kowaki-" + gone + "-Ab3dEf.tmp",
                                         ".a.wav.kowaki-" + gone + "-Ab3dE.tmp",
                                         ".a.wav.kowaki-9x-Ab3dEf.tmp",
                                         "a.wav.Ab3dEf"};
  for (const std::string& name : kept) test::WriteBytes(dir.File(name), "x");
  const std::string folder = ".f.wav.kowaki-" + gone + "-Ab3dEf.tmp";
  fs::create_directory(dir.path() / folder);
  const std::string leftover = ".a.wav.kowaki-" + gone + "-Ab3dEf.tmp";
  test::WriteBytes(dir.File(leftover), "x");
  for (const std::string& name : dir.List()) {
    if (name != folder && !name.starts_with(".fresh"))
      Age(dir.File(name), std::chrono::minutes(20));
  }
  EXPECT_EQ(TemporaryOwner(leftover), 999999999u);
  EXPECT_EQ(WriteOutput(dir.File("new.wav"), OutputPlace::kInFolder, "new"), "");
  std::vector<std::string> expected = kept;
  expected.push_back(folder);
  expected.push_back("new.wav");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.List(), expected);

  const std::string name = TemporaryName(std::string(300, 'n'));
  EXPECT_LE(name.size(), 255u);
  EXPECT_EQ(TemporaryOwner(name), platform::ProcessId());
}

#if defined(_WIN32)
TEST(OutputFileTest, AFileAnotherProgramHoldsOpenIsNotReplaced) {
  SetLanguage(Language::kEnglish);
  test::TempDir dir;
  const std::string path = dir.File("held.wav");
  test::WriteBytes(path, "held");
  {
    const test::HeldOpen other(path);
    EXPECT_EQ(test::Why(CanReplace(path)), "is in use by another program");
    for (const OutputPlace place : kPlaces) {
      EXPECT_EQ(WriteOutput(path, place, "new"), path + ": is in use by another program");
    }
  }
  EXPECT_EQ(test::ReadBytes(path), "held");
  EXPECT_EQ(WriteOutput(path, OutputPlace::kNamed, "new"), "");
  EXPECT_EQ(test::ReadBytes(path), "new");
}
#else
TEST(OutputFileTest, AReadOnlyFolderTakesNoFile) {
  test::TempDir dir;
  const std::string folder = dir.File("locked");
  fs::create_directory(folder);
  test::SetReadOnly(folder, true);
  EXPECT_FALSE(CanCreateIn(folder));
  for (const OutputPlace place : kPlaces) {
    EXPECT_EQ(WriteOutput(folder + "/new.wav", place, "x"), folder + "/new.wav: Permission denied");
  }
  test::SetReadOnly(folder, false);
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_TRUE(CanCreateIn(folder));
}

// What an export may meet at its file names: only a missing name or an
// ordinary file is written, and nothing through a link. Were the FIFO
// opened, the test would wait for a reader for ever.
TEST(OutputFileTest, InAFolderNothingButAnOrdinaryFileIsReplaced) {
  SetLanguage(Language::kEnglish);
  test::TempDir dir;
  test::WriteBytes(dir.File("file"), "file");
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0666), 0);
  fs::create_symlink("file", dir.path() / "to-file");
  fs::create_symlink("fifo", dir.path() / "to-fifo");
  fs::create_symlink("/dev/null", dir.path() / "to-device");
  fs::create_symlink("missing", dir.path() / "dangling");
  const std::vector<std::string> before = dir.List();
  for (const std::string name : {"to-file", "to-fifo", "to-device", "dangling"}) {
    EXPECT_EQ(WriteOutput(dir.File(name), OutputPlace::kInFolder, "new"),
              dir.File(name) + ": is a link, and nothing is written through one here");
    EXPECT_EQ(platform::KindOfName(dir.File(name)), platform::PathKind::kLink);
  }
  EXPECT_EQ(WriteOutput(dir.File("fifo"), OutputPlace::kInFolder, "new"),
            dir.File("fifo") + ": is not an ordinary file");
  EXPECT_EQ(dir.List(), before);
  EXPECT_EQ(test::ReadBytes(dir.File("file")), "file");

  EXPECT_EQ(WriteOutput(dir.File("file"), OutputPlace::kInFolder, "new"), "");
  EXPECT_EQ(WriteOutput(dir.File("made"), OutputPlace::kInFolder, "made"), "");
  EXPECT_EQ(test::ReadBytes(dir.File("file")), "new");
  EXPECT_EQ(test::ReadBytes(dir.File("made")), "made");
}

// A name the user gave that is a link, or a chain of them, leads to the
// file that is replaced; a dangling one to the file that is made.
TEST(OutputFileTest, ANamedLinkIsFollowedAndStaysALink) {
  SetLanguage(Language::kEnglish);
  test::TempDir dir;
  fs::create_directory(dir.path() / "real");
  test::WriteBytes(dir.File("real/out.wav"), "old");
  fs::create_symlink("real/out.wav", dir.path() / "link");
  fs::create_symlink(dir.File("link"), dir.path() / "chain");
  fs::create_symlink("real/new.wav", dir.path() / "dangling");
  EXPECT_EQ(WriteOutput(dir.File("chain"), OutputPlace::kNamed, "new"), "");
  EXPECT_EQ(WriteOutput(dir.File("dangling"), OutputPlace::kNamed, "made"), "");
  EXPECT_EQ(test::ReadBytes(dir.File("real/out.wav")), "new");
  EXPECT_EQ(test::ReadBytes(dir.File("real/new.wav")), "made");
  for (const std::string name : {"link", "chain", "dangling"}) {
    EXPECT_EQ(platform::KindOfName(dir.File(name)), platform::PathKind::kLink) << name;
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"chain", "dangling", "link", "real"}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "real"), {}), 2);  // no temporary
  fs::create_symlink("loop", dir.path() / "loop");
  EXPECT_EQ(WriteOutput(dir.File("loop"), OutputPlace::kNamed, "x"),
            dir.File("loop") + ": links in a loop");
}

// /dev/fd/N and /proc/self/fd/N name a descriptor of ours, whatever it is
// open on, and are written through it: a pipe as a stream, an ordinary
// file at its start as a file whose header can be patched.
TEST(OutputFileTest, ANamedDescriptorIsWrittenInPlace) {
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  test::TempDir dir;
  const int file = open(dir.File("file").c_str(), O_WRONLY | O_CREAT, 0666);
  for (const std::string prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    if (!fs::exists(prefix)) continue;
    OutputFile out;
    ASSERT_EQ(test::Why(out.Open(prefix + std::to_string(pipe_ends[1]), OutputPlace::kNamed)), "");
    EXPECT_TRUE(out.in_place() && out.is_stream());
    ASSERT_TRUE(out.Write("piped", 5));
    ASSERT_EQ(test::Why(out.Commit()), "");
    char got[5];
    ASSERT_EQ(read(pipe_ends[0], got, 5), 5);
    EXPECT_EQ(std::string(got, 5), "piped");

    ASSERT_EQ(test::Why(out.Open(prefix + std::to_string(file), OutputPlace::kNamed)), "");
    EXPECT_TRUE(out.in_place() && !out.is_stream());
    ASSERT_TRUE(out.Write("abc", 3) && out.Seek(0) && out.Write("X", 1));
    ASSERT_EQ(test::Why(out.Commit()), "");
    EXPECT_EQ(test::ReadBytes(dir.File("file")), "Xbc");
    ASSERT_EQ(lseek(file, 0, SEEK_SET), 0);
  }
  close(file);
  close(pipe_ends[0]);
  close(pipe_ends[1]);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"file"});
}

// A replaced file keeps its permissions whatever the umask, and its
// owner, group and user attributes where the system lets us set them.
TEST(OutputFileTest, AReplacedFileKeepsItsModeOwnerAndAttributes) {
  test::TempDir dir;
  const std::string path = dir.File("kept.wav");
  test::WriteBytes(path, "old");
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(path.c_str(), 4321, 4322), 0);
  }
#if defined(__linux__)
  const bool attributes = setxattr(path.c_str(), "user.kowaki", "kept", 4, 0) == 0;
#endif
  const mode_t mask = umask(022);
  for (const mode_t mode : {0600, 0666}) {
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    for (const OutputPlace place : kPlaces) {
      ASSERT_EQ(WriteOutput(path, place, "new"), "");
      struct stat info;
      ASSERT_EQ(stat(path.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 07777, mode);
      EXPECT_TRUE(!root || (info.st_uid == 4321 && info.st_gid == 4322));
#if defined(__linux__)
      char value[8] = {};
      EXPECT_TRUE(!attributes || getxattr(path.c_str(), "user.kowaki", value, sizeof value) == 4);
      EXPECT_STREQ(attributes ? value : "kept", "kept");
#endif
    }
  }
  umask(mask);
  EXPECT_EQ(test::ReadBytes(path), "new");
}

// New files get the mode that the umask leaves of 0666, also when several
// threads make theirs at the same moment.
TEST(OutputFileTest, NewFilesFromManyThreadsGetTheUsualMode) {
  test::TempDir dir;
  const mode_t mask = umask(022);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&dir, t] {
      for (int i = 0; i < 50; ++i) {
        const std::string name = "f" + std::to_string(t) + "_" + std::to_string(i);
        EXPECT_EQ(WriteOutput(dir.File(name), OutputPlace::kInFolder, "x"), "");
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  umask(mask);
  ASSERT_EQ(dir.List().size(), 200u);
  for (const std::string& name : dir.List()) {
    struct stat info;
    ASSERT_EQ(stat(dir.File(name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u) << name;
  }
}
#endif

}  // namespace
}  // namespace kowaki
