// kowaki-cli convert, driven as a user drives it, on WAV files the tests
// write.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/commands.h"
#include "convert/pcm_converter.h"
#include "convert/wav_file.h"
#include "tests/convert/pcm_test_util.h"
#include "tests/convert/wav_test_util.h"
#include "tests/support/files.h"

namespace kowaki::cli {
namespace {

int RunCli(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  ::testing::internal::CaptureStderr();
  const int code = RunConvert(argv);
  const std::string err = ::testing::internal::GetCapturedStderr();
  if (code != kExitOk) {
    EXPECT_EQ(err.rfind("kowaki-cli convert: ", 0), 0u) << err;
  }
  return code;
}

std::string Wav(const PcmFormat& format, const std::vector<uint8_t>& audio) {
  const auto header = MakeWavHeader(format, static_cast<uint32_t>(audio.size()));
  return std::string(header.begin(), header.end()) + std::string(audio.begin(), audio.end());
}

class ConvertCommandTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
};

TEST_F(ConvertCommandTest, ConvertsAsTheConverterDoesInExportBlocks) {
  // Extensible PCM after an odd chunk, as other tools write it.
  const auto audio = test::Bytes(test::Noise(2 * 44100, 1));
  test::WriteBytes(
      dir_.File("in.wav"),
      test::Riff(test::Chunk("LIST", "tool") + test::Chunk("fmt ", test::Extensible(2, 44100, 16)) +
                 test::Chunk("data", std::string(audio.begin(), audio.end()))));
  ASSERT_EQ(RunCli({dir_.File("in.wav"), dir_.File("out.wav"), "--rate", "22050", "--channels", "1",
                    "--bits", "8"}),
            kExitOk);
  const PcmFormat target = MakePcmFormat(22050, 1, 8);
  auto converter = PcmConverter::create();
  ASSERT_EQ(converter->setup(MakePcmFormat(44100, 2, 16), target), 1);
  EXPECT_EQ(test::ReadBytes(dir_.File("out.wav")),
            Wav(target, test::Stream(*converter, audio, [] { return size_t{8192}; })));
}

TEST_F(ConvertCommandTest, KeepsWhatIsNotAskedForAndMayOverwriteItsInput) {
  const std::vector<uint8_t> audio(12345, 0x7f);  // odd: no pad byte follows
  const std::string path = dir_.File("voice.wav");
  test::WriteBytes(path, Wav(MakePcmFormat(11025, 1, 8), audio));
  ASSERT_EQ(RunCli({path, path}), kExitOk);
  EXPECT_EQ(test::ReadBytes(path), Wav(MakePcmFormat(11025, 1, 8), audio));
  ASSERT_EQ(RunCli({path, path, "--bits", "16"}), kExitOk);
  EXPECT_EQ(test::ReadBytes(path),
            Wav(MakePcmFormat(11025, 1, 16), test::Bytes(std::vector<int16_t>(12345, -256))));
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"voice.wav"});
}

TEST_F(ConvertCommandTest, FailsCleanlyLeavingNoFileBehind) {
  const auto audio = test::Bytes(test::Noise(600, 2));
  const std::string good = dir_.File("good.wav");
  test::WriteBytes(good, Wav(MakePcmFormat(8000, 1, 16), audio));
  const std::string truncated = dir_.File("truncated.wav");
  test::WriteBytes(truncated, Wav(MakePcmFormat(8000, 1, 16), audio).substr(0, 150));
  const std::string wide = dir_.File("wide.wav");
  test::WriteBytes(wide, test::Riff(test::Chunk("fmt ", test::Fmt(1, 1, 8000, 24)) +
                                    test::Chunk("data", "abc")));
  const std::string surround = dir_.File("surround.wav");
  test::WriteBytes(surround, Wav(MakePcmFormat(8000, 6, 16), audio));
  const std::string out = dir_.File("out.wav");
  const std::vector<std::vector<std::string>> failing = {
      {good},
      {good, out, "--bits", "12"},
      {good, out, "--channels", "3"},
      {good, out, "--rate", "0"},
      {good, out, "--speed", "2"},
      {dir_.File("missing.wav"), out},
      {truncated, out},
      {wide, out},
      {surround, out, "--channels", "2"},
      {good, dir_.File("no/such/folder/out.wav")},
  };
  for (const auto& args : failing) EXPECT_EQ(RunCli(args), kExitError) << args.back();
  EXPECT_EQ(dir_.List(),
            (std::vector<std::string>{"good.wav", "surround.wav", "truncated.wav", "wide.wav"}));
}

}  // namespace
}  // namespace kowaki::cli
