// The converter: the chains it plans, checked by running the same audio
// through the stages its plan names, and its lifecycle guards.

#include "convert/pcm_converter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "convert/resampler.h"
#include "convert/sample_stages.h"
#include "tests/convert/pcm_test_util.h"

namespace kowaki {
namespace {

using test::Bytes;

// In blocks of whole frames, as the stages drop a partial one.
std::vector<uint8_t> Convert(PcmConverter& converter, const std::vector<uint8_t>& in,
                             size_t frame_bytes = 4) {
  std::vector<uint8_t> out;
  PcmSpan span;
  const size_t block = 8192 / frame_bytes * frame_bytes;
  for (size_t at = 0; at < in.size(); at += block) {
    const size_t size = std::min(block, in.size() - at);
    EXPECT_EQ(converter.put({in.data() + at, static_cast<int32_t>(size)}), 1);
    EXPECT_EQ(converter.get(&span), 1);
    out.insert(out.end(), span.data, span.data + span.length);
  }
  EXPECT_EQ(converter.flush(), 1);
  EXPECT_EQ(converter.get(&span), 1);
  out.insert(out.end(), span.data, span.data + span.length);
  return out;
}

// The stream through each stage in turn, each stage taking all of it.
std::vector<uint8_t> ThroughStages(std::vector<uint8_t> audio, std::vector<PcmStagePtr> stages) {
  for (auto& stage : stages) audio = test::Stream(*stage, audio);
  return audio;
}

PcmConverterPtr Ready(const PcmFormat& source, const PcmFormat& target) {
  PcmConverterPtr converter = PcmConverter::create();
  EXPECT_TRUE(converter);
  EXPECT_EQ(converter->setup(source, target), 1);
  return converter;
}

std::vector<PcmStagePtr> Chain(std::vector<std::function<PcmStagePtr()>> makers) {
  std::vector<PcmStagePtr> stages;
  for (auto& make : makers) stages.push_back(make());
  return stages;
}

struct PlannedChain {
  PcmFormat source;
  PcmFormat target;
  std::vector<std::function<PcmStagePtr()>> stages;
};

TEST(PcmConverterTest, PlansTheChainEachFormatPairNeeds) {
  const PlannedChain plans[] = {
      {MakePcmFormat(44100, 2, 16), MakePcmFormat(22050, 1, 16),
       {new_downmix_stage, [] { return new_downsampler(44100, 22050, 1); }}},
      {MakePcmFormat(11025, 1, 8), MakePcmFormat(44100, 2, 16),
       {new_widen_stage, [] { return new_upsampler(11025, 44100, 1); }, new_upmix_stage}},
      {MakePcmFormat(22050, 2, 16), MakePcmFormat(22050, 2, 8), {new_narrow_stage}},
      {MakePcmFormat(8000, 1, 8), MakePcmFormat(16000, 1, 8),
       {new_widen_stage, [] { return new_upsampler(8000, 16000, 1); }, new_narrow_stage}},
      {MakePcmFormat(48000, 1, 16), MakePcmFormat(48000, 2, 16), {new_upmix_stage}},
      // More than two channels pass the resampler together, unmixed.
      {MakePcmFormat(32000, 6, 16), MakePcmFormat(24000, 6, 16),
       {[] { return new_downsampler(32000, 24000, 6); }}},
  };
  for (const auto& plan : plans) {
    SCOPED_TRACE(testing::Message() << plan.source.samples_per_sec << "/" << plan.source.channels
                                    << "/" << plan.source.bits_per_sample << " -> "
                                    << plan.target.samples_per_sec << "/" << plan.target.channels
                                    << "/" << plan.target.bits_per_sample);
    const auto in = Bytes(test::Noise(30011 * plan.source.channels, 5));
    auto converter = Ready(plan.source, plan.target);
    EXPECT_EQ(Convert(*converter, in, plan.source.block_align), ThroughStages(in, Chain(plan.stages)));
  }
}

TEST(PcmConverterTest, IdenticalSixteenBitFormatsPassBytesUnchanged) {
  const auto format = MakePcmFormat(44100, 2, 16);
  auto converter = Ready(format, format);
  std::vector<uint8_t> in = Bytes(test::Noise(10001, 9));
  in.push_back(7);  // not even a whole sample
  EXPECT_EQ(Convert(*converter, in), in);
}

TEST(PcmConverterTest, RefusesWhatNoChainCanDoAndStaysUsable) {
  PcmFormat codec = MakePcmFormat(22050, 1, 4);
  codec.format_tag = 2;
  const auto pcm = MakePcmFormat(22050, 1, 16);
  const std::pair<PcmFormat, PcmFormat> refused[] = {
      {codec, codec},                                          // codecs both sides
      {codec, pcm},                                            // no codec reachable
      {pcm, codec},
      {MakePcmFormat(22050, 1, 24), pcm},                      // widths other than 8 and 16
      {pcm, MakePcmFormat(22050, 1, 12)},
      {MakePcmFormat(22050, 6, 16), MakePcmFormat(22050, 2, 16)},  // no stage mixes 6 to 2
      {MakePcmFormat(0, 1, 16), pcm},
      {pcm, MakePcmFormat(0x80000000u, 1, 16)},
  };
  auto converter = PcmConverter::create();
  for (const auto& [source, target] : refused) {
    EXPECT_EQ(converter->setup(source, target), 0);
    // Left as created: an empty chain.
    const auto in = Bytes(std::vector<int16_t>{1, 2, 3});
    ASSERT_EQ(converter->put({in.data(), 6}), 1);
    PcmSpan out;
    ASSERT_EQ(converter->get(&out), 1);
    EXPECT_EQ(std::vector<uint8_t>(out.data, out.data + out.length), in);
  }
  EXPECT_EQ(converter->setup(pcm, MakePcmFormat(44100, 2, 16)), 1);
}

TEST(PcmConverterTest, SecondSetupDiscardsTheOldChainAndPendingOutput) {
  auto converter = Ready(MakePcmFormat(44100, 2, 16), MakePcmFormat(8000, 1, 8));
  const auto in = Bytes(test::Noise(20000, 2));
  ASSERT_EQ(converter->put({in.data(), 8192}), 1);  // pending, never collected
  const auto mono = MakePcmFormat(16000, 1, 16);
  const auto to = MakePcmFormat(22050, 1, 16);
  ASSERT_EQ(converter->setup(mono, to), 1);
  std::vector<PcmStagePtr> stages;
  stages.push_back(new_upsampler(16000, 22050, 1));
  EXPECT_EQ(Convert(*converter, in), ThroughStages(in, std::move(stages)));
}

TEST(PcmConverterTest, FlushWithNothingHeldBackGivesNothing) {
  auto converter = Ready(MakePcmFormat(22050, 2, 16), MakePcmFormat(22050, 1, 16));
  const auto in = Bytes(std::vector<int16_t>{10, 20});
  PcmSpan out;
  ASSERT_EQ(converter->put({in.data(), 4}), 1);
  ASSERT_EQ(converter->get(&out), 1);
  EXPECT_EQ(test::Samples({out.data, static_cast<size_t>(out.length)}), std::vector<int16_t>{15});
  EXPECT_EQ(converter->flush(), 1);
  EXPECT_EQ(converter->get(&out), 1);
  EXPECT_EQ(out.length, 0);
}

TEST(PcmConverterTest, OverwrittenMagicMakesEveryOperationRefuse) {
  const auto format = MakePcmFormat(22050, 1, 16);
  auto converter = Ready(format, format);
  const auto in = Bytes(std::vector<int16_t>{1, 2});
  ASSERT_EQ(converter->put({in.data(), 4}), 1);
  uint8_t magic[8];
  std::memcpy(magic, static_cast<void*>(converter.get()), 8);
  EXPECT_EQ(std::memcmp(magic, "ACM__TAG", 8), 0);
  std::memset(static_cast<void*>(converter.get()), 0, 4);

  PcmSpan out;
  EXPECT_EQ(converter->put({in.data(), 4}), 0);
  EXPECT_EQ(converter->get(&out), 0);
  EXPECT_EQ(converter->flush(), 0);
  EXPECT_EQ(converter->setup(format, format), 0);
  converter->destroy();  // does nothing

  std::memcpy(static_cast<void*>(converter.get()), magic, 8);
  ASSERT_EQ(converter->get(&out), 1);  // the first put's output, untouched
  EXPECT_EQ(std::vector<uint8_t>(out.data, out.data + out.length), in);
}

}  // namespace
}  // namespace kowaki
