// kowaki-cli run as a child process, as from a shell: its standard output
// a pipe or a redirected file.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "archive/archive_writer.h"
#include "common/little_endian.h"
#include "tests/support/child_process.h"
#include "tests/support/files.h"
#include "tests/support/run_command.h"

namespace kowaki::test {
namespace {

constexpr int kExited0 = 0;  // the wait status of exit code 0

uint32_t SizeAt(const std::string& file, size_t offset) {
  return file.size() < offset + 4 ? 0 : ReadLe32(reinterpret_cast<const uint8_t*>(&file[offset]));
}

class CliProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEnvironment("XDG_CONFIG_HOME", dir_.File("config")); }

  // An archive of `count` entries, each the same clip.
  std::string MakeArchive(int count, double seconds) {
    const std::string clip = VorbisClip(22050, 1, seconds);
    ArchiveWriter writer;
    std::string error;
    for (int i = 0; i < count; ++i)
      EXPECT_TRUE(writer.AddBytes("v" + std::to_string(i), clip, &error));
    const std::string path = dir_.File("voice.arc");
    EXPECT_TRUE(writer.Write(path, &error)) << error;
    return path;
  }

  static std::vector<std::string> Cli(std::vector<std::string> args) {
    args.insert(args.begin(), KOWAKI_CLI);
    return args;
  }

  TempDir dir_;
};

// A merge into a pipe cannot be patched: its header says "up to the end",
// and a reader such as sox takes all of it. Into a redirected file it is
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

}  // namespace
}  // namespace kowaki::test
