// kowaki-cli convert, driven as a user drives it, on WAV files the tests
// write, and on codec files natively checked against sox.

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "common/little_endian.h"
#include "convert/acm_stage.h"
#include "convert/pcm_converter.h"
#include "convert/wav_file.h"
#include "tests/convert/codec_cases.h"
#include "tests/convert/pcm_test_util.h"
#include "tests/convert/wav_test_util.h"
#include "tests/support/files.h"
#include "tests/support/run_command.h"
#include "tests/support/why.h"
#include "text/catalogue.h"

namespace kowaki::cli {
namespace {

int RunCli(std::vector<std::string> args, std::string* message = nullptr) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  ::testing::internal::CaptureStderr();
  const int code = RunConvert(argv);
  const std::string err = ::testing::internal::GetCapturedStderr();
  if (code != kExitOk) {
    EXPECT_EQ(err.rfind("kowaki-cli: ", 0), 0u) << err;
  }
  if (message) *message = err;
  return code;
}

// With the pad byte an odd data chunk takes.
std::string Wav(const PcmFormat& format, const std::vector<uint8_t>& audio) {
  const auto header = MakeWavHeader(format, static_cast<uint32_t>(audio.size()));
  return std::string(header.begin(), header.end()) + std::string(audio.begin(), audio.end()) +
         std::string(audio.size() % 2, '\0');
}

// A WAV file's format, audio, and the frames its fact chunk counts (0
// without one).
struct WavContents {
  WaveFormat format;
  std::vector<uint8_t> audio;
  uint32_t fact_frames = 0;
};

WavContents ReadWav(const std::string& path) {
  const std::string file = test::ReadBytes(path);
  const Result<WavInfo> read = test::ReadWavBytes(file);
  EXPECT_TRUE(read) << path << ": " << test::Why(read);
  const WavInfo info = read.value_or(WavInfo{});
  WavContents contents;
  contents.format = info.format;
  const auto data = file.begin() + static_cast<std::ptrdiff_t>(info.data_offset);
  contents.audio.assign(data, data + info.data_size);
  const size_t fact = file.substr(0, static_cast<size_t>(info.data_offset)).find("fact");
  if (fact != std::string::npos) {
    contents.fact_frames = ReadLe32(reinterpret_cast<const uint8_t*>(file.data() + fact + 8));
  }
  return contents;
}

class ConvertCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { SetLanguage(Language::kEnglish); }
  test::TempDir dir_;
};

// Per codec: the system's codecs (msacm32 on Windows, else our own) and,
// natively, sox as the independent decoder and encoder.
class ConvertCodecTest : public ConvertCommandTest,
                         public ::testing::WithParamInterface<test::CodecCase> {
 protected:
  // Runs sox quietly on files in the test's folder.
  bool Sox(const std::string& in, const std::string& args, const std::string& out) {
    const std::string command = std::string(KOWAKI_SOX) + " -V1 \"" + dir_.File(in) + "\" " + args +
                                " \"" + dir_.File(out) + "\"";
    return std::system(command.c_str()) == 0;
  }

  // The test signal as a 16-bit PCM file; its samples.
  std::vector<int16_t> WriteInput(const std::string& name, int rate, int channels) {
    const auto signal = test::Tones(static_cast<size_t>(rate + rate / 5), channels, rate);
    test::WriteBytes(dir_.File(name), Wav(MakePcmFormat(static_cast<uint32_t>(rate),
                                                        static_cast<uint16_t>(channels), 16),
                                          test::Bytes(signal)));
    return signal;
  }
};

// PCM to the codec with a rate and channel change, and back, through the
// system's codecs: the file carries the codec's extra bytes and the
// frames that went in, and the signal survives.
TEST_P(ConvertCodecTest, WritesAndReadsTheCodec) {
  const test::CodecCase& codec = GetParam();
  const PcmFormat pcm = MakePcmFormat(22050, 1, 16);
  WaveFormat coded;
  ASSERT_TRUE(MakeCodecFormat(codec.tag, 22050, 1, &coded));
  if (!new_acm_stage(pcm, coded) || !new_acm_stage(coded, pcm))
    GTEST_SKIP() << "the system ACM does not offer " << codec.name << " both ways";
  WriteInput("in.wav", 44100, 2);
  const std::vector<std::string> to_mono = {"--rate", "22050", "--channels", "1"};
  auto args = std::vector<std::string>{dir_.File("in.wav"), dir_.File("plain.wav")};
  args.insert(args.end(), to_mono.begin(), to_mono.end());
  ASSERT_EQ(RunCli(args), kExitOk);
  args[1] = dir_.File("coded.wav");
  args.insert(args.end(), {"--codec", codec.option});
  ASSERT_EQ(RunCli(args), kExitOk);
  ASSERT_EQ(RunCli({dir_.File("coded.wav"), dir_.File("back.wav"), "--codec", "pcm"}), kExitOk);

  const WavContents written = ReadWav(dir_.File("coded.wav"));
  EXPECT_EQ(std::memcmp(&written.format, &coded, sizeof(PcmFormat) + coded.extra_size), 0);
  const auto plain = test::Samples(ReadWav(dir_.File("plain.wav")).audio);
  // What went in, or what the blocks hold where the codec dropped a last
  // partial one (Wine's IMA ADPCM encoder does).
  const size_t held =
      written.audio.size() / coded.block_align * (coded.extra_size ? ExtraWord(coded, 0) : 1);
  EXPECT_EQ(written.fact_frames, std::min(plain.size(), held));
  const auto back = test::Samples(ReadWav(dir_.File("back.wav")).audio);
  EXPECT_EQ(back.size(), held);
  EXPECT_GE(test::SnrDb(plain, back), codec.min_snr);

  // Unless asked, the output keeps the input's codec.
  ASSERT_EQ(RunCli({dir_.File("coded.wav"), dir_.File("again.wav")}), kExitOk);
  EXPECT_EQ(ReadWav(dir_.File("again.wav")).format.format_tag, codec.tag);
}

TEST_P(ConvertCodecTest, DecodesWhatSoxEncodedAsSoxDoes) {
  if (!*KOWAKI_SOX) GTEST_SKIP() << "no sox here";
  const test::CodecCase& codec = GetParam();
  for (const auto& [rate, channels] : {std::pair{8000, 2}, {22050, 1}, {44100, 2}}) {
    SCOPED_TRACE(testing::Message() << rate << "/" << channels);
    WriteInput("in.wav", rate, channels);
    ASSERT_TRUE(Sox("in.wav", std::string("-e ") + codec.sox, "coded.wav"));
    ASSERT_TRUE(Sox("coded.wav", "-e signed-integer -b 16", "sox.wav"));
    ASSERT_EQ(RunCli({dir_.File("coded.wav"), dir_.File("ours.wav"), "--codec", "pcm"}), kExitOk);
    const WavContents theirs = ReadWav(dir_.File("sox.wav"));
    const WavContents ours = ReadWav(dir_.File("ours.wav"));
    EXPECT_EQ(std::memcmp(&ours.format, &theirs.format, sizeof(PcmFormat)), 0);
    EXPECT_EQ(ours.audio, theirs.audio);

    // Cut at an odd length inside the last block.
    const std::string coded = test::ReadBytes(dir_.File("coded.wav"));
    const size_t data = coded.find("data");
    const auto size = static_cast<uint32_t>(ReadWav(dir_.File("coded.wav")).audio.size() - 297);
    test::WriteBytes(dir_.File("cut.wav"),
                     test::Riff(coded.substr(12, data - 12) +
                                test::Chunk("data", coded.substr(data + 8, size))));
    ASSERT_TRUE(Sox("cut.wav", "-e signed-integer -b 16", "sox.wav"));
    ASSERT_EQ(RunCli({dir_.File("cut.wav"), dir_.File("ours.wav"), "--codec", "pcm"}), kExitOk);
    EXPECT_EQ(ReadWav(dir_.File("ours.wav")).audio, ReadWav(dir_.File("sox.wav")).audio);
  }
}

TEST_P(ConvertCodecTest, SoxDecodesWhatWeEncode) {
  if (!*KOWAKI_SOX) GTEST_SKIP() << "no sox here";
  const test::CodecCase& codec = GetParam();
  for (const auto& [rate, channels] : {std::pair{8000, 2}, {22050, 1}, {44100, 2}}) {
    SCOPED_TRACE(testing::Message() << rate << "/" << channels);
    const auto signal = WriteInput("in.wav", rate, channels);
    ASSERT_EQ(RunCli({dir_.File("in.wav"), dir_.File("coded.wav"), "--codec", codec.option}),
              kExitOk);
    ASSERT_TRUE(Sox("coded.wav", "-e signed-integer -b 16", "sox.wav"));
    ASSERT_EQ(RunCli({dir_.File("coded.wav"), dir_.File("ours.wav"), "--codec", "pcm"}), kExitOk);
    const auto theirs = ReadWav(dir_.File("sox.wav")).audio;
    EXPECT_EQ(ReadWav(dir_.File("ours.wav")).audio, theirs);
    EXPECT_GE(test::Samples(theirs).size(), signal.size());
    EXPECT_GE(test::SnrDb(signal, test::Samples(theirs)), codec.min_snr);
  }
}

INSTANTIATE_TEST_SUITE_P(Codecs, ConvertCodecTest, ::testing::ValuesIn(test::kCodecCases),
                         [](const auto& test) { return std::string(test.param.name); });

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
  ASSERT_TRUE(converter->setup(MakePcmFormat(44100, 2, 16), target));
  EXPECT_EQ(test::ReadBytes(dir_.File("out.wav")),
            Wav(target, test::Stream(*converter, audio, [] { return size_t{8192}; })));
}

TEST_F(ConvertCommandTest, KeepsWhatIsNotAskedForAndMayOverwriteItsInput) {
  const std::vector<uint8_t> audio(12345, 0x7f);  // odd: a pad byte follows
  const std::string path = dir_.File("voice.wav");
  test::WriteBytes(path, Wav(MakePcmFormat(11025, 1, 8), audio));
  ASSERT_EQ(RunCli({path, path}), kExitOk);
  EXPECT_EQ(test::ReadBytes(path), Wav(MakePcmFormat(11025, 1, 8), audio));
  ASSERT_EQ(RunCli({path, path, "--bits", "16"}), kExitOk);
  EXPECT_EQ(test::ReadBytes(path),
            Wav(MakePcmFormat(11025, 1, 16), test::Bytes(std::vector<int16_t>(12345, -256))));
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"voice.wav"});
}

// PCM is whole frames: a last partial one is no sample, and goes.
TEST_F(ConvertCommandTest, DropsAPartialLastFrame) {
  const auto audio = test::Bytes(test::Noise(2 * 101, 2));
  std::vector<uint8_t> cut(audio.begin(), audio.end() - 1);  // 100 frames and 3 bytes
  test::WriteBytes(dir_.File("in.wav"), test::Riff(test::Chunk("fmt ", test::Fmt(1, 2, 8000, 16)) +
                                                   test::Chunk("data", {cut.begin(), cut.end()})));
  ASSERT_EQ(RunCli({dir_.File("in.wav"), dir_.File("same.wav")}), kExitOk);
  EXPECT_EQ(test::ReadBytes(dir_.File("same.wav")),
            Wav(MakePcmFormat(8000, 2, 16), {audio.begin(), audio.begin() + 400}));
  ASSERT_EQ(RunCli({dir_.File("in.wav"), dir_.File("mono.wav"), "--channels", "1"}), kExitOk);
  EXPECT_EQ(ReadWav(dir_.File("mono.wav")).audio.size(), 200u);
}

// "-" (and /dev/stdout) is standard output, here a pipe or a redirected
// file: it gets the very bytes of the file convert writes when it names
// one, exact sizes and all, and the command ends well.
TEST_F(ConvertCommandTest, WritesStandardOutputWithTheExactSizes) {
  const std::string in = dir_.File("in.wav");
  test::WriteBytes(in, Wav(MakePcmFormat(22050, 1, 16), test::Bytes(test::Noise(22050, 1))));
  std::vector<std::string> outs = {"-"};
#if !defined(_WIN32)
  outs.push_back("/dev/stdout");
#endif
  for (const auto& options :
       {std::vector<std::string>{"--rate", "8000"}, {"--codec", "ima-adpcm"}}) {
    std::vector<std::string> args = {in, dir_.File("ref.wav")};
    args.insert(args.end(), options.begin(), options.end());
    ASSERT_EQ(RunCli(args), kExitOk);
    const std::string expected = test::ReadBytes(dir_.File("ref.wav"));
    for (const std::string& out : outs) {
      args[1] = out;
      const auto run = [&] { EXPECT_EQ(RunCli(args), kExitOk) << out; };
      EXPECT_TRUE(test::StandardOutputOf(run) == expected) << out << " into a pipe";
      EXPECT_TRUE(test::StandardOutputOf(run, dir_.File("redirected.wav")) == expected) << out;
    }
  }
}

// OUT as the user named it: a file that cannot be replaced is refused
// before any work and kept; a link leads to the file that is written, and
// stays a link.
TEST_F(ConvertCommandTest, KeepsAnOutputItCannotReplaceAndFollowsALink) {
  const std::string in = dir_.File("in.wav");
  const std::string wav = Wav(MakePcmFormat(8000, 1, 16), test::Bytes(test::Noise(800, 1)));
  test::WriteBytes(in, wav);
  const std::string kept = dir_.File("kept.wav");
  test::WriteBytes(kept, "kept");
  test::SetReadOnly(kept, true);
  EXPECT_EQ(RunCli({in, kept}), kExitError);
  test::SetReadOnly(kept, false);
#if defined(_WIN32)
  const test::HeldOpen held(kept);
  EXPECT_EQ(RunCli({in, kept}), kExitError);
#else
  std::filesystem::create_symlink("real.wav", dir_.path() / "link.wav");
  ASSERT_EQ(RunCli({in, dir_.File("link.wav")}), kExitOk);
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.path() / "link.wav"));
  EXPECT_EQ(test::ReadBytes(dir_.File("real.wav")), wav);
  std::filesystem::remove(dir_.path() / "link.wav");
  std::filesystem::remove(dir_.path() / "real.wav");
#endif
  EXPECT_EQ(test::ReadBytes(kept), "kept");
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"in.wav", "kept.wav"}));
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
  test::WriteBytes(surround, Wav(MakePcmFormat(8000, 9, 16), audio));
  const std::string unknown = dir_.File("unknown.wav");  // a codec no one has
  test::WriteBytes(unknown, test::Riff(test::Chunk("fmt ", test::Fmt(0x7A7A, 1, 8000, 8)) +
                                       test::Chunk("data", "abcd")));
  // 65535 channels of 16 bits: a frame's 131070 bytes wrap to the 65534
  // this block align says.
  const std::string wrapped = dir_.File("wrapped.wav");
  test::WriteBytes(wrapped, test::Riff(test::Chunk("fmt ", test::Fmt(1, 65535, 8000, 16)) +
                                       test::Chunk("data", "abcd")));
  const std::string many = dir_.File("many.wav");  // fits, but not at 16 bits
  test::WriteBytes(many, test::Riff(test::Chunk("fmt ", test::Fmt(1, 65535, 8000, 8)) +
                                    test::Chunk("data", "abcd")));
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
      {surround, out, "--codec", "ima-adpcm"},
      {good, out, "--codec", "flac"},
      {good, out, "--codec", "mulaw", "--bits", "16"},
      {unknown, out},
      {good, dir_.File("no/such/folder/out.wav")},
      {wrapped, out},
      {many, out, "--bits", "16"},
      {good, out, "--rate", "2147483647", "--channels", "2"},
      {dir_.path().string(), out},
  };
  for (const auto& args : failing) EXPECT_EQ(RunCli(args), kExitError) << args.back();
  EXPECT_EQ(dir_.List(),
            (std::vector<std::string>{"good.wav", "many.wav", "surround.wav", "truncated.wav",
                                      "unknown.wav", "wide.wav", "wrapped.wav"}));
}

// A FIFO (a named pipe on Windows) as the input: refused at once, where
// reading it would wait for a writer that never comes.
TEST_F(ConvertCommandTest, RefusesAPipeWithoutWaitingForIt) {
#ifdef _WIN32
  const std::string pipe = "\\\\.\\pipe\\kowaki-convert-test";
  HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096,
                                   4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
#else
  const std::string pipe = dir_.File("pipe.wav");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
#endif
  std::string err;
  const int code = RunCli({pipe, dir_.File("out.wav")}, &err);
#ifdef _WIN32
  CloseHandle(server);
#endif
  EXPECT_EQ(code, kExitError);
  EXPECT_NE(err.find("not a regular file or a device"), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("out.wav")));
}

}  // namespace
}  // namespace kowaki::cli
