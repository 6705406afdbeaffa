// The resampling stages: their tables, and the streams they produce checked
// against a direct evaluation of the filter over the extended input.

#include "convert/resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <random>
#include <vector>

#include "tests/convert/pcm_test_util.h"

namespace kowaki {
namespace {

using test::Bytes;
using test::Samples;
using Int16s = std::vector<int16_t>;

ResamplerPtr Make(int32_t source, int32_t target, int32_t channels) {
  return source < target ? new_upsampler(source, target, channels)
                         : new_downsampler(source, target, channels);
}

int32_t RowSum(const Resampler& r, int32_t phase) {
  const auto row = r.tap_coef(phase);
  return std::accumulate(row.begin(), row.end(), 0);
}

// Output frame p * L + i straight from the tables: the input extended with
// copies of its first and last frames, 32-bit wrap-around sums, and output
// for as long as the tap behind the kernel's centre lies on a real frame.
Int16s Model(const Resampler& r, const Int16s& in, int32_t channels) {
  const int64_t frames = static_cast<int64_t>(in.size()) / channels;
  Int16s out;
  for (int64_t p = 0; frames > 0; ++p) {
    for (int32_t i = 0; i < r.phases(); ++i) {
      const int64_t start = p * r.period_in() + r.tap_start(i);
      if (start + (r.taps() + 1) / 2 >= frames) return out;
      for (int32_t c = 0; c < channels; ++c) {
        uint32_t sum = 0;
        for (int32_t j = 0; j < r.taps(); ++j) {
          const auto n = static_cast<size_t>(std::clamp<int64_t>(start + j, 0, frames - 1));
          sum += static_cast<uint32_t>(in[n * channels + c] * r.tap_coef(i)[j]);
        }
        out.push_back(static_cast<int16_t>(
            std::clamp(static_cast<int32_t>(sum + 8192u) >> 14, -32768, 32767)));
      }
    }
  }
  return out;
}

TEST(ResamplerTest, TablesOfTheHalvingAndDoublingPairs) {
  auto up = new_upsampler(22050, 44100, 1);
  ASSERT_TRUE(up);
  EXPECT_EQ(up->phases(), 2);
  ASSERT_EQ(up->taps(), 37);
  EXPECT_EQ(up->tap_start(0), -18);  // 18 priming copies
  const auto row0 = up->tap_coef(0);
  const auto row1 = up->tap_coef(1);
  EXPECT_EQ(Int16s(row0.begin(), row0.begin() + 4), (Int16s{-210, 223, -237, 253}));
  // Frames -2 ... 2: the two largest on -1 and 0.
  EXPECT_EQ(Int16s(row0.begin() + 16, row0.begin() + 21),
            (Int16s{-2134, 4979, 14937, -2987, 1660}));
  EXPECT_EQ(Int16s(row0.end() - 3, row0.end()), (Int16s{230, -216, 0}));
  EXPECT_EQ(RowSum(*up, 0), 16384);
  EXPECT_EQ(up->tap_start(1), -17);
  EXPECT_TRUE(std::equal(row1.begin(), row1.end() - 1, row0.rbegin() + 1));
  EXPECT_EQ(row1.back(), 0);

  auto down = new_downsampler(44100, 22050, 1);
  ASSERT_TRUE(down);
  EXPECT_EQ(down->phases(), 1);
  ASSERT_EQ(down->taps(), 73);
  EXPECT_EQ(down->tap_start(0), -35);      // 35 priming copies
  EXPECT_EQ(down->tap_coef(0)[35], 7469);  // frames 0 and 1
  EXPECT_EQ(down->tap_coef(0)[36], 7469);
  EXPECT_EQ(RowSum(*down, 0), 16378);
}

TEST(ResamplerTest, TapCountsAndRefusals) {
  auto down = new_downsampler(48000, 44100, 2);
  auto up = new_upsampler(44100, 48000, 2);
  ASSERT_TRUE(down && up);
  EXPECT_EQ((std::array{down->phases(), down->period_in(), down->taps()}),
            (std::array{147, 160, 41}));
  EXPECT_EQ((std::array{up->phases(), up->period_in(), up->taps()}), (std::array{160, 147, 37}));
  EXPECT_FALSE(new_upsampler(0, 44100, 1));
  EXPECT_FALSE(new_upsampler(-8000, 44100, 1));
  EXPECT_FALSE(new_downsampler(44100, -1, 1));
  EXPECT_FALSE(new_upsampler(44100, 22050, 1));  // the other's direction
  EXPECT_FALSE(new_downsampler(22050, 22050, 1));
  EXPECT_FALSE(new_downsampler(44100, 22050, 0));
  EXPECT_FALSE(new_upsampler(1, 2000000000, 1));  // tables beyond any sensible memory
}

TEST(ResamplerTest, PutEmitsOnceTheNewestTapIsHeldAndFlushTheRest) {
  auto r = new_upsampler(22050, 44100, 1);
  std::vector<uint8_t> out;
  const uint8_t partial[1] = {1};
  EXPECT_TRUE(r->put({partial, 1}));
  test::Collect(*r, &out);
  EXPECT_TRUE(out.empty());
  const auto in = Bytes(test::Noise(100, 1));
  ASSERT_TRUE(r->put({in.data(), static_cast<int32_t>(in.size()) + 1}));  // a stray byte
  test::Collect(*r, &out);
  EXPECT_EQ(out.size(), 2u * (2 * 100 - 37));  // rows end on frames 18 and 19 of their period
  ASSERT_TRUE(r->flush());
  test::Collect(*r, &out);
  EXPECT_EQ(out.size(), 2u * (2 * 100 - 3));  // centre taps on frames 1 and 2
  EXPECT_EQ(test::FailureOf(r->put({in.data(), 2})), PcmError::kEnded);

  auto unused = new_downsampler(44100, 22050, 2);
  EXPECT_TRUE(test::Stream(*unused, std::vector<uint8_t>{}).empty());
}

TEST(ResamplerTest, ConstantStaysConstantFromTheFirstFrame) {
  for (auto [source, target] :
       {std::pair{22050, 44100}, {44100, 22050}, {48000, 44100}, {8000, 11025}}) {
    auto r = Make(source, target, 1);
    const auto out = Samples(test::Stream(*r, Bytes(Int16s(5000, -12345))));
    ASSERT_FALSE(out.empty());
    for (size_t o = 0; o < out.size(); ++o) {
      const int32_t gain = RowSum(*r, static_cast<int32_t>(o % r->phases()));
      ASSERT_EQ(out[o], (-12345 * gain + 8192) >> 14) << source << "->" << target << " frame " << o;
    }
  }
}

TEST(ResamplerTest, FullScaleSquareWaveClipsWithoutWrapping) {
  Int16s square;
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
    auto whole = Make(source, target, channels);
    const auto expected = Model(*whole, in, channels);
    EXPECT_EQ(Samples(test::Stream(*whole, Bytes(in))), expected);
    auto pieces = Make(source, target, channels);
    std::uniform_int_distribution<size_t> frames(0, 3000);
    EXPECT_EQ(
        Samples(test::Stream(*pieces, Bytes(in), [&] { return frames(random) * 2 * channels; })),
        expected);
  }
}

TEST(ResamplerTest, OutputLengthFollowsTheRateRatioForEveryOfferedPair) {
  constexpr int32_t kRates[] = {48000, 44100, 32000, 24000, 22050, 16000, 11025, 8000};
  for (int32_t source : kRates) {
    for (int32_t target : kRates) {
      for (int32_t channels : {1, 2}) {
        if (source == target) continue;
        auto r = Make(source, target, channels);
        const size_t frames = 4321;
        const auto out = test::Stream(*r, Bytes(test::Noise(frames * channels, 3)));
        EXPECT_NEAR(static_cast<double>(out.size()) / (2 * channels),
                    static_cast<double>(frames) * target / source, 2.0 * target / source + 1)
            << source << "->" << target << " x" << channels;
      }
    }
  }
}

}  // namespace
}  // namespace kowaki
