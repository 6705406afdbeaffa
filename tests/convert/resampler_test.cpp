// The resampling stages: their tables, and the streams they produce checked
// against a direct evaluation of the filter over the extended input.

#include "convert/resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "tests/convert/pcm_test_util.h"

namespace kowaki {
namespace {

using test::Bytes;
using test::Samples;

constexpr int32_t kOfferedRates[] = {48000, 44100, 32000, 24000, 22050, 16000, 11025, 8000};

ResamplerPtr Make(int32_t source, int32_t target, int32_t channels) {
  return source < target ? new_upsampler(source, target, channels)
                         : new_downsampler(source, target, channels);
}

// Output frame p * L + i straight from the tables: the input extended with
// copies of its first and last frames, 32-bit wrap-around sums, and output
// for as long as the tap behind the kernel's centre lies on a real frame.
std::vector<int16_t> Model(const Resampler& r, const std::vector<int16_t>& in, int32_t channels) {
  const int64_t frames = static_cast<int64_t>(in.size()) / channels;
  const int32_t centre = (r.taps() + 1) / 2;
  std::vector<int16_t> out;
  if (frames == 0) return out;
  for (int64_t p = 0;; ++p) {
    for (int32_t i = 0; i < r.phases(); ++i) {
      const int64_t start = p * r.period_in() + r.tap_start(i);
      if (start + centre >= frames) return out;
      for (int32_t c = 0; c < channels; ++c) {
        uint32_t sum = 0;
        for (int32_t j = 0; j < r.taps(); ++j) {
          const int64_t n = std::clamp<int64_t>(start + j, 0, frames - 1);
          sum += static_cast<uint32_t>(in[n * channels + c] * r.tap_coef(i)[j]);
        }
        const int32_t v = static_cast<int32_t>(sum + 8192u) >> 14;
        out.push_back(static_cast<int16_t>(std::clamp(v, -32768, 32767)));
      }
    }
  }
}

TEST(ResamplerTest, Upsampler22050To44100Table) {
  auto r = new_upsampler(22050, 44100, 1);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->phases(), 2);
  EXPECT_EQ(r->period_in(), 1);
  ASSERT_EQ(r->taps(), 37);
  EXPECT_EQ(r->tap_start(0), -18);  // 18 priming copies
  EXPECT_EQ(r->tap_start(1), -17);
  const auto row0 = r->tap_coef(0);
  const auto row1 = r->tap_coef(1);
  EXPECT_EQ(std::vector<int16_t>(row0.begin(), row0.begin() + 4),
            (std::vector<int16_t>{-210, 223, -237, 253}));
  // Frames -2 ... 2: the two largest on -1 and 0.
  EXPECT_EQ(std::vector<int16_t>(row0.begin() + 16, row0.begin() + 21),
            (std::vector<int16_t>{-2134, 4979, 14937, -2987, 1660}));
  EXPECT_EQ(std::vector<int16_t>(row0.end() - 3, row0.end()), (std::vector<int16_t>{230, -216, 0}));
  EXPECT_EQ(std::accumulate(row0.begin(), row0.end(), 0), 16384);
  for (int j = 0; j < 36; ++j) EXPECT_EQ(row1[j], row0[35 - j]) << j;
  EXPECT_EQ(row1[36], 0);
}

TEST(ResamplerTest, Downsampler44100To22050Table) {
  auto r = new_downsampler(44100, 22050, 1);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->phases(), 1);
  EXPECT_EQ(r->period_in(), 2);
  ASSERT_EQ(r->taps(), 73);
  EXPECT_EQ(r->tap_start(0), -35);  // 35 priming copies
  const auto row = r->tap_coef(0);
  EXPECT_EQ(row[35], 7469);  // frames 0 and 1
  EXPECT_EQ(row[36], 7469);
  EXPECT_EQ(std::accumulate(row.begin(), row.end(), 0), 16378);
}

TEST(ResamplerTest, TapCountsFor48000And44100) {
  auto down = new_downsampler(48000, 44100, 2);
  auto up = new_upsampler(44100, 48000, 2);
  ASSERT_TRUE(down && up);
  EXPECT_EQ(down->phases(), 147);
  EXPECT_EQ(down->period_in(), 160);
  EXPECT_EQ(down->taps(), 41);
  EXPECT_EQ(up->phases(), 160);
  EXPECT_EQ(up->period_in(), 147);
  EXPECT_EQ(up->taps(), 37);
}

TEST(ResamplerTest, RefusesRatesItCannotServe) {
  EXPECT_FALSE(new_upsampler(0, 44100, 1));
  EXPECT_FALSE(new_upsampler(-8000, 44100, 1));
  EXPECT_FALSE(new_downsampler(44100, 0, 1));
  EXPECT_FALSE(new_downsampler(44100, -1, 1));
  EXPECT_FALSE(new_upsampler(44100, 22050, 1));  // wrong way
  EXPECT_FALSE(new_downsampler(22050, 44100, 1));
  EXPECT_FALSE(new_upsampler(22050, 22050, 1));
  EXPECT_FALSE(new_downsampler(44100, 22050, 0));
  EXPECT_FALSE(new_upsampler(1, 2000000000, 1));  // tables beyond any sensible memory
}

TEST(ResamplerTest, PutEmitsOnceTheNewestTapIsHeldAndFlushTheRest) {
  auto r = new_upsampler(22050, 44100, 1);
  const auto in = Bytes(test::Noise(100, 1));
  ASSERT_EQ(r->put({in.data(), static_cast<int32_t>(in.size())}), 1);
  std::vector<uint8_t> out;
  test::Collect(*r, &out);
  EXPECT_EQ(out.size(), 2u * (2 * 100 - 37));  // rows end at frames 18 and 19 of their period
  ASSERT_EQ(r->flush(), 1);
  test::Collect(*r, &out);
  EXPECT_EQ(out.size(), 2u * (2 * 100 - 3));  // centre taps at frames 1 and 2
  // No further input after the end of the stream.
  EXPECT_EQ(r->put({in.data(), 2}), 0);
}

TEST(ResamplerTest, EmptyAndPartialFramesDoNothing) {
  auto r = new_downsampler(44100, 22050, 2);
  const uint8_t three[3] = {1, 2, 3};
  EXPECT_EQ(r->put({three, 3}), 1);
  EXPECT_EQ(r->put({nullptr, 0}), 1);
  EXPECT_EQ(r->flush(), 1);
  PcmSpan out{three, 3};
  EXPECT_EQ(r->get(&out), 1);
  EXPECT_EQ(out.data, nullptr);
  EXPECT_EQ(out.length, 0);
}

TEST(ResamplerTest, ConstantStaysConstantFromTheFirstFrame) {
  for (auto [source, target] : {std::pair{22050, 44100}, {44100, 22050}, {48000, 44100}, {8000, 11025}}) {
    auto r = Make(source, target, 1);
    const auto in = Bytes(std::vector<int16_t>(5000, -12345));
    const auto out = Samples(test::Stream(*r, in));
    ASSERT_FALSE(out.empty());
    for (size_t o = 0; o < out.size(); ++o) {
      const auto row = r->tap_coef(static_cast<int32_t>(o % r->phases()));
      const int32_t gain = std::accumulate(row.begin(), row.end(), 0);
      ASSERT_EQ(out[o], (-12345 * gain + 8192) >> 14) << source << "->" << target << " frame " << o;
    }
  }
}

TEST(ResamplerTest, FullScaleSquareWaveClipsWithoutWrapping) {
  std::vector<int16_t> square;
  for (int half = 0; half < 40; ++half) square.insert(square.end(), 50, half % 2 ? -32768 : 32767);
  for (auto [source, target] : {std::pair{22050, 44100}, {44100, 8000}}) {
    auto r = Make(source, target, 1);
    const auto out = Samples(test::Stream(*r, Bytes(square)));
    // Ringing stays on its side of zero; a wrapped sum would cross it.
    int crossings = 0;
    for (size_t o = 1; o < out.size(); ++o) crossings += (out[o - 1] < 0) != (out[o] < 0);
    EXPECT_EQ(crossings, 39) << source << "->" << target;
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 32767);
    EXPECT_EQ(*std::min_element(out.begin(), out.end()), -32768);
  }
}

TEST(ResamplerTest, StreamsMatchTheFilterWhateverTheSpanSizes) {
  // Offered pairs both ways, and nearly coprime ones whose period and reach
  // outgrow a second of history.
  const std::tuple<int32_t, int32_t, int32_t> cases[] = {
      {44100, 22050, 1}, {22050, 44100, 2}, {48000, 44100, 2}, {11025, 48000, 2},
      {8000, 7999, 1},   {7999, 8000, 2},   {8000, 4001, 1},   {1000, 999, 1}};
  std::mt19937 random(7);
  for (auto [source, target, channels] : cases) {
    SCOPED_TRACE(testing::Message() << source << "->" << target << " x" << channels);
    const auto in = test::Noise(static_cast<size_t>(source / 2 * 5 + 3) * channels, source);
    const auto bytes = Bytes(in);
    auto whole = Make(source, target, channels);
    ASSERT_TRUE(whole);
    const auto expected = Model(*whole, in, channels);
    EXPECT_EQ(Samples(test::Stream(*whole, bytes)), expected);
    auto pieces = Make(source, target, channels);
    std::uniform_int_distribution<size_t> frames(0, 3000);
    const auto out = test::Stream(*pieces, bytes, [&] { return frames(random) * 2 * channels; });
    EXPECT_EQ(Samples(out), expected);
  }
}

TEST(ResamplerTest, OutputLengthFollowsTheRateRatioForEveryOfferedPair) {
  for (int32_t source : kOfferedRates) {
    for (int32_t target : kOfferedRates) {
      for (int32_t channels : {1, 2}) {
        if (source == target) continue;
        auto r = Make(source, target, channels);
        ASSERT_TRUE(r);
        const size_t frames = 4321;
        const auto out = test::Stream(*r, Bytes(test::Noise(frames * channels, 3)));
        const double expected = static_cast<double>(frames) * target / source;
        const double got = static_cast<double>(out.size()) / (2 * channels);
        EXPECT_NEAR(got, expected, 2.0 * target / source + 1)
            << source << "->" << target << " x" << channels;
      }
    }
  }
}

}  // namespace
}  // namespace kowaki
