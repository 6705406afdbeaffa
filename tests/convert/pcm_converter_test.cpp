// The converter: the chains it plans, checked by running the same audio
// through the stages its plan names, and its lifecycle guards.

#include "convert/pcm_converter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "convert/acm_stage.h"
#include "convert/resampler.h"
#include "convert/sample_stages.h"
#include "tests/convert/pcm_test_util.h"

namespace kowaki {
namespace {

using test::Bytes;
using Stages = std::vector<std::function<PcmStagePtr()>>;

PcmConverterPtr Ready(const PcmFormat& source, const PcmFormat& target) {
  PcmConverterPtr converter = PcmConverter::create();
  EXPECT_TRUE(converter->setup(source, target));
  return converter;
}

// `in` (by default noise) through the converter in export-sized blocks of
// whole frames or codec blocks, and through each named stage in turn, all
// at once.
void ExpectChain(const PcmFormat& source, const PcmFormat& target, const Stages& stages,
                 std::vector<uint8_t> in = {}) {
  SCOPED_TRACE(testing::Message() << source.format_tag << "/" << source.samples_per_sec << "/"
                                  << source.channels << "/" << source.bits_per_sample << " -> "
                                  << target.format_tag << "/" << target.samples_per_sec << "/"
                                  << target.channels << "/" << target.bits_per_sample);
  if (in.empty()) in = Bytes(test::Noise(30011 * source.channels, 5));
  auto converter = Ready(source, target);
  const size_t block = 8192 / source.block_align * source.block_align;
  const auto out = test::Stream(*converter, in, [&] { return block; });
  std::vector<uint8_t> expected = in;
  for (const auto& make : stages) expected = test::Stream(*make(), expected);
  EXPECT_EQ(out, expected);
}

TEST(PcmConverterTest, PlansTheChainEachFormatPairNeeds) {
  ExpectChain(MakePcmFormat(44100, 2, 16), MakePcmFormat(22050, 1, 16),
              {new_downmix_stage, [] { return new_downsampler(44100, 22050, 1); }});
  ExpectChain(MakePcmFormat(11025, 1, 8), MakePcmFormat(44100, 2, 16),
              {new_widen_stage, [] { return new_upsampler(11025, 44100, 1); }, new_upmix_stage});
  ExpectChain(MakePcmFormat(22050, 2, 16), MakePcmFormat(22050, 2, 8), {new_narrow_stage});
  ExpectChain(MakePcmFormat(8000, 1, 8), MakePcmFormat(16000, 1, 8),
              {new_widen_stage, [] { return new_upsampler(8000, 16000, 1); }, new_narrow_stage});
  // More than two channels go through the resampler together, unmixed.
  ExpectChain(MakePcmFormat(32000, 6, 16), MakePcmFormat(24000, 6, 16),
              {[] { return new_downsampler(32000, 24000, 6); }});
  // The same 16-bit format: the bytes pass unchanged.
  ExpectChain(MakePcmFormat(44100, 2, 16), MakePcmFormat(44100, 2, 16), {});
}

// A codec source is decoded to 16-bit PCM at the head, a codec target
// encoded from it at the tail; the PCM stages work between.
TEST(PcmConverterTest, DecodesAtTheHeadAndEncodesAtTheTail) {
  WaveFormat ima;
  ASSERT_TRUE(MakeCodecFormat(kFormatImaAdpcm, 22050, 2, &ima));
  const auto stereo = MakePcmFormat(22050, 2, 16);
  const auto encoded =
      test::Stream(*new_acm_stage(stereo, ima), Bytes(test::Tones(30011, 2, 22050)));
  ExpectChain(ima, MakePcmFormat(11025, 1, 8),
              {[&] { return new_acm_stage(ima, stereo); }, new_downmix_stage,
               [] { return new_downsampler(22050, 11025, 1); }, new_narrow_stage},
              encoded);
  ExpectChain(MakePcmFormat(44100, 1, 16), ima,
              {[] { return new_downsampler(44100, 22050, 1); }, new_upmix_stage,
               [&] { return new_acm_stage(stereo, ima); }});
  // The codec's own width (4 bits) is no PCM width: decoded to 16 bits.
  ExpectChain(ima, stereo, {[&] { return new_acm_stage(ima, stereo); }}, encoded);
}

TEST(PcmConverterTest, RefusesWhatNoChainCanDoAndStaysUsable) {
  // Microsoft ADPCM without block align or extra bytes, and a codec no one
  // has.
  PcmFormat broken = MakePcmFormat(22050, 1, 4);
  broken.format_tag = kFormatMsAdpcm;
  PcmFormat unknown = MakePcmFormat(22050, 1, 8);
  unknown.format_tag = 0x7A7A;
  const auto pcm = MakePcmFormat(22050, 1, 16);
  WaveFormat mulaw;
  ASSERT_TRUE(MakeCodecFormat(kFormatMulaw, 22050, 1, &mulaw));
  const std::pair<PcmFormat, PcmFormat> refused[] = {
      {mulaw, mulaw},  // codecs on both sides
      {broken, pcm},
      {pcm, broken},
      {unknown, pcm},
      {pcm, unknown},
      {MakePcmFormat(22050, 1, 24), pcm},  // widths other than 8 and 16
      {pcm, MakePcmFormat(22050, 1, 12)},
      {MakePcmFormat(22050, 9, 16), MakePcmFormat(22050, 2, 16)},  // 9 channels: no usual layout
      {MakePcmFormat(0, 1, 16), pcm},
      {pcm, MakePcmFormat(0x80000000u, 1, 16)},
  };
  auto converter = PcmConverter::create();
  const auto in = Bytes(std::vector<int16_t>{1, 2, 3});
  for (const auto& [source, target] : refused) {
    EXPECT_EQ(test::FailureOf(converter->setup(source, target)), PcmError::kNoChain);
    EXPECT_EQ(test::Stream(*converter, in), in);  // as created: no chain
  }
}

// 5.1 to stereo or mono with the usual coefficients (centre and surrounds
// at -3 dB, no LFE), the roles in the source's order; full scale on every
// channel reaches full scale and no further.
TEST(PcmConverterTest, MixesSurroundDownWithTheUsualCoefficients) {
  using Int16s = std::vector<int16_t>;
  auto converter = PcmConverter::create();
  const auto six = MakePcmFormat(8000, 6, 16);
  const auto stereo = MakePcmFormat(8000, 2, 16);
  // WAV order: FL FR FC LFE BL BR. Front left, centre, LFE, all, back right.
  const Int16s wave = {10000, 0,     0,     0,     0, 0,     0, 0, 10000, 0,
                       0,     0,     0,     0,     0, 10000, 0, 0, 32767, 32767,
                       32767, 32767, 32767, 32767, 0, 0,     0, 0, 0,     -10000};
  const Int16s mixed = {4142, 0, 2929, 2929, 0, 0, 32767, 32767, 0, -2929};
  ASSERT_TRUE(converter->setup(six, stereo));
  EXPECT_EQ(test::Samples(test::Stream(*converter, test::Bytes(wave))), mixed);
  // Vorbis order: FL FC FR BL BR LFE.
  const Int16s vorbis = {10000, 0,     0,     0,     0, 0, 0, 10000, 0,      0,
                         0,     0,     0,     0,     0, 0, 0, 10000, 32767,  32767,
                         32767, 32767, 32767, 32767, 0, 0, 0, 0,     -10000, 0};
  ASSERT_TRUE(converter->setup(six, stereo, ChannelOrder::kVorbis));
  EXPECT_EQ(test::Samples(test::Stream(*converter, test::Bytes(vorbis))), mixed);
  // To mono the stereo mix is halved, and the rate may change as well.
  ASSERT_TRUE(converter->setup(six, MakePcmFormat(8000, 1, 16)));
  EXPECT_EQ(test::Samples(test::Stream(*converter, test::Bytes(wave))),
            (Int16s{2071, 2929, 0, 32767, -1464}));
  ASSERT_TRUE(converter->setup(MakePcmFormat(8000, 8, 16), MakePcmFormat(16000, 1, 16)));
  const auto resampled = test::Stream(*converter, test::Bytes(Int16s(8 * 800, 1000)));
  EXPECT_NEAR(static_cast<double>(resampled.size()), 1600.0 * 2, 16);
}

TEST(PcmConverterTest, SecondSetupDiscardsTheOldChainAndPendingOutput) {
  auto converter = Ready(MakePcmFormat(44100, 2, 16), MakePcmFormat(8000, 1, 8));
  const auto in = Bytes(test::Noise(20000, 2));
  ASSERT_TRUE(converter->put({in.data(), 8192}));  // pending, never collected
  ASSERT_TRUE(converter->setup(MakePcmFormat(16000, 1, 16), MakePcmFormat(22050, 1, 16)));
  EXPECT_EQ(test::Stream(*converter, in), test::Stream(*new_upsampler(16000, 22050, 1), in));
}

TEST(PcmConverterTest, FlushWithNothingHeldBackGivesNothing) {
  auto converter = Ready(MakePcmFormat(22050, 2, 16), MakePcmFormat(22050, 1, 16));
  EXPECT_TRUE(converter->flush());
  const Result<PcmSpan, PcmError> tail = converter->get();
  ASSERT_TRUE(tail);
  EXPECT_EQ(tail->length, 0);
}

TEST(PcmConverterTest, OverwrittenMagicMakesEveryOperationRefuse) {
  const auto format = MakePcmFormat(22050, 1, 16);
  auto converter = Ready(format, format);
  const auto in = Bytes(std::vector<int16_t>{1, 2});
  ASSERT_TRUE(converter->put({in.data(), 4}));
  uint8_t magic[8];
  std::memcpy(magic, static_cast<void*>(converter.get()), 8);
  EXPECT_EQ(std::memcmp(magic, "ACM__TAG", 8), 0);
  std::memset(static_cast<void*>(converter.get()), 0, 4);

  EXPECT_EQ(test::FailureOf(converter->put({in.data(), 4})), PcmError::kNotConverter);
  EXPECT_EQ(test::FailureOf(converter->get()), PcmError::kNotConverter);
  EXPECT_EQ(test::FailureOf(converter->flush()), PcmError::kNotConverter);
  EXPECT_EQ(test::FailureOf(converter->setup(format, format)), PcmError::kNotConverter);
  converter->destroy();  // does nothing

  std::memcpy(static_cast<void*>(converter.get()), magic, 8);
  std::vector<uint8_t> pending;
  test::Collect(*converter, &pending);  // the first put's output, untouched
  EXPECT_EQ(pending, in);
}

}  // namespace
}  // namespace kowaki
