// Recordings made into the clips they replace: WAV files of other rates,
// channel counts and codecs come out as Ogg Vorbis in the entry's format,
// at its bitrate unless told otherwise; what cannot be done says why.

#include "modding/recording.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "convert/pcm_converter.h"
#include "tests/convert/pcm_test_util.h"
#include "tests/convert/wav_test_util.h"
#include "tests/support/files.h"
#include "tests/support/why.h"
#include "text/catalogue.h"
#include "tools/synth.h"

namespace kowaki {
namespace {

std::string Text(std::span<const uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

// A 16-bit PCM WAV file of `samples`.
std::string PcmWav(uint32_t rate, uint16_t channels, const std::vector<int16_t>& samples) {
  const std::vector<uint8_t> data = test::Bytes(samples);
  const auto size = static_cast<uint32_t>(data.size());
  return Text(MakeWavHeader(MakePcmFormat(rate, channels, 16), size)) + Text(data);
}

// The frames that `frames` at `from` Hz become at `to` Hz.
int64_t AtRate(size_t frames, int64_t from, int64_t to) {
  return std::llround(static_cast<double>(frames) * static_cast<double>(to) /
                      static_cast<double>(from));
}

class RecordingTest : public testing::Test {
 protected:
  // An archive whose one entry is a clip of this format and quality.
  ArchiveIndexPtr Original(int rate, int channels, float quality) {
    const std::vector<int16_t> voice = synth::Voice(rate, channels, 0.5, 200.0);
    ArchiveWriter writer;
    EXPECT_EQ(test::Why(writer.AddBytes("v_0003",
                                        synth::EncodeVorbis(voice, channels, rate, quality, 9))),
              "");
    EXPECT_EQ(test::Why(writer.Write(dir_.File("voice.arc"))), "");
    return test::LoadIndex(dir_.File("voice.arc"));
  }

  std::string Recording(const std::string& bytes) {
    const std::string path = dir_.File("recording.wav");
    test::WriteBytes(path, bytes);
    return path;
  }

  test::TempDir dir_;
};

TEST_F(RecordingTest, TakesTheEntrysRateChannelsAndBitrate) {
  // A quality between libvorbisenc's steps, at a rate of its own table.
  const ArchiveIndexPtr index = Original(32000, 1, 0.62f);
  ASSERT_TRUE(index);
  const auto nominal = static_cast<double>(VorbisNominalBitrate(32000, 1, 0.62f));
  constexpr size_t kFrames = 57330;  // 1.3 s at 44100 Hz
  const std::string wav = Recording(PcmWav(44100, 2, test::Tones(kFrames, 2, 44100)));

  const Result<std::string> ogg = EncodeRecordingFor(wav, index.get(), 0);
  ASSERT_TRUE(ogg) << test::Why(ogg);
  const test::DecodedVorbis decoded = test::DecodeVorbis(*ogg);
  EXPECT_EQ(decoded.rate, 32000);
  EXPECT_EQ(decoded.channels, 1);
  EXPECT_NEAR(static_cast<double>(decoded.samples.size()),
              static_cast<double>(AtRate(kFrames, 44100, 32000)), 2);
  EXPECT_NEAR(static_cast<double>(decoded.nominal_bitrate), nominal, 0.01 * nominal);
  // The recording itself, not silence.
  int peak = 0;
  for (int16_t s : decoded.samples) peak = std::max(peak, std::abs(int{s}));
  EXPECT_GT(peak, 4000);

  // A quality given is the quality used.
  const Result<std::string> given = EncodeRecordingFor(wav, index.get(), 0, 0.0f);
  ASSERT_TRUE(given) << test::Why(given);
  EXPECT_EQ(test::DecodeVorbis(*given).nominal_bitrate, VorbisNominalBitrate(32000, 1, 0.0f));
}

TEST_F(RecordingTest, DecodesCodecRecordings) {
  // IMA ADPCM at 11025 Hz mono, whole blocks of 505 frames, as the
  // converter encodes it.
  constexpr size_t kFrames = 505 * 30;
  WaveFormat ima;
  ASSERT_TRUE(MakeCodecFormat(kFormatImaAdpcm, 11025, 1, &ima));
  PcmConverterPtr encoder = PcmConverter::create();
  ASSERT_TRUE(encoder && encoder->setup(MakePcmFormat(11025, 1, 16), ima));
  const std::vector<uint8_t> pcm = test::Bytes(test::Tones(kFrames, 1, 11025));
  const std::vector<uint8_t> data = test::Stream(*encoder, pcm);
  const std::string wav = Recording(
      Text(MakeCodecWavHeader(ima, static_cast<uint32_t>(data.size()), kFrames)) + Text(data));

  const Result<std::string> ogg = EncodeRecording(wav, {16000, 2, 0.3f});
  ASSERT_TRUE(ogg) << test::Why(ogg);
  const test::DecodedVorbis decoded = test::DecodeVorbis(*ogg);
  EXPECT_EQ(decoded.rate, 16000);
  EXPECT_EQ(decoded.channels, 2);
  EXPECT_NEAR(static_cast<double>(decoded.samples.size() / 2),
              static_cast<double>(AtRate(kFrames, 11025, 16000)), 2);
}

TEST_F(RecordingTest, SaysWhyItCannot) {
  SetLanguage(Language::kEnglish);
  const std::string stereo = PcmWav(44100, 2, test::Tones(4410, 2, 44100));
  const struct {
    std::string file;
    RecordingTarget target;
    std::string why;
  } cases[] = {
      {"just text, no RIFF at all", {22050, 1, 0.3f}, "not a RIFF WAVE file"},
      {test::Riff(test::Chunk("fmt ", test::Fmt(1, 1, 8000, 24)) + test::Chunk("data", "abc")),
       {22050, 1, 0.3f},
       "unsupported sample width: 24 bits (8 or 16 only)"},
      {test::Riff(test::Chunk("fmt ", test::Fmt(0x55, 1, 8000, 16)) + test::Chunk("data", "abc")),
       {22050, 1, 0.3f},
       "unsupported format: format tag 0x0055"},
      // Nearly coprime rates far apart: the resampler's tables would not fit.
      {PcmWav(10000019, 1, test::Tones(100, 1, 8000)),
       {44100, 1, 0.3f},
       "cannot convert 10000019 Hz, mono to 44100 Hz, mono"},
      {stereo, {44100, 6, 0.3f}, "cannot convert 44100 Hz, 2 channels to 44100 Hz, 6 channels"},
      {stereo, {250000, 1, 0.3f}, "Ogg Vorbis cannot be encoded at 250000 Hz, mono"},
      {stereo, {44100, 2, 1.5f}, "the quality must be from -0.1 to 1, not 1.5"},
      {PcmWav(8000, 1, {}), {8000, 1, 0.3f}, "the recording holds no audio"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(test::Why(EncodeRecording(Recording(c.file), c.target)), c.why);
  }
  const Result<std::string> missing = EncodeRecording(dir_.File("missing.wav"), {8000, 1, 0.3f});
  EXPECT_EQ(test::Why(missing), "cannot open the recording");
  EXPECT_EQ(missing ? 0 : missing.failure().system_error, ENOENT);

  ArchiveWriter writer;
  ASSERT_EQ(test::Why(writer.AddBytes("readme", "not a clip")), "");
  ASSERT_EQ(test::Why(writer.Write(dir_.File("text.arc"))), "");
  const ArchiveIndexPtr text = test::LoadIndex(dir_.File("text.arc"));
  EXPECT_EQ(test::Why(EncodeRecordingFor(Recording(stereo), text.get(), 0)),
            "the entry does not open as Ogg Vorbis");
}

}  // namespace
}  // namespace kowaki
