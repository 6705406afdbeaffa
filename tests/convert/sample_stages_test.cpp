// The four sample-by-sample stages: their conversion tables, partial units
// and how pending output accumulates.

#include "convert/sample_stages.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/convert/pcm_test_util.h"

namespace kowaki {
namespace {

using test::Bytes;
using test::Samples;

std::vector<uint8_t> Convert(const PcmStagePtr& stage, std::vector<uint8_t> in) {
  EXPECT_EQ(stage->put({in.data(), static_cast<int32_t>(in.size())}), 1);
  std::vector<uint8_t> out;
  test::Collect(*stage, &out);
  return out;
}

TEST(SampleStagesTest, NarrowRoundsToNearestLevelAndHoldsTheTop) {
  const std::vector<int16_t> in = {-32768, -32641, -32640, -129, -128, 0, 32639, 32640, 32767};
  EXPECT_EQ(Convert(new_narrow_stage(), Bytes(in)),
            (std::vector<uint8_t>{0, 0, 1, 127, 128, 128, 255, 255, 255}));
}

TEST(SampleStagesTest, WidenPutsTheLevelInTheHighByte) {
  EXPECT_EQ(Samples(Convert(new_widen_stage(), {0, 128, 255, 1})),
            (std::vector<int16_t>{-32768, 0, 32512, -32512}));
}

TEST(SampleStagesTest, DownmixAveragesWithBiasTowardZero) {
  const std::vector<int16_t> in = {1, 0, -1, 0, -1, -1, -5, -5, 32767, 32767, -32768, -32768};
  EXPECT_EQ(Samples(Convert(new_downmix_stage(), Bytes(in))),
            (std::vector<int16_t>{1, 0, 0, -4, 32767, -32767}));
}

TEST(SampleStagesTest, UpmixRepeatsEachSample) {
  EXPECT_EQ(Samples(Convert(new_upmix_stage(), Bytes(std::vector<int16_t>{3, -7}))),
            (std::vector<int16_t>{3, 3, -7, -7}));
}

TEST(SampleStagesTest, PartialUnitsAreDroppedNotCarried) {
  // Five bytes: one stereo frame, or two 16-bit samples.
  const std::vector<uint8_t> five = Bytes(std::vector<int16_t>{100, 300, 5000});
  const std::vector<uint8_t> cut(five.begin(), five.begin() + 5);
  auto downmix = new_downmix_stage();
  EXPECT_EQ(Samples(Convert(downmix, cut)), std::vector<int16_t>{200});
  EXPECT_EQ(Samples(Convert(downmix, Bytes(std::vector<int16_t>{2, 4}))), std::vector<int16_t>{3});
  EXPECT_EQ(Convert(new_narrow_stage(), cut).size(), 2u);
}

TEST(SampleStagesTest, EmptySpansAndFreshStagesGiveNothing) {
  for (auto make : {new_widen_stage, new_downmix_stage, new_upmix_stage, new_narrow_stage}) {
    PcmStagePtr stage = make();
    ASSERT_TRUE(stage);
    PcmSpan out{reinterpret_cast<const uint8_t*>("x"), 1};
    EXPECT_EQ(stage->get(&out), 1);
    EXPECT_EQ(out.data, nullptr);
    EXPECT_EQ(out.length, 0);
    EXPECT_EQ(stage->put({nullptr, 0}), 1);
    EXPECT_EQ(stage->flush(), 1);
    EXPECT_EQ(stage->get(&out), 1);
    EXPECT_EQ(out.length, 0);
    EXPECT_EQ(stage->put({nullptr, 4}), 0);
    uint8_t byte = 0;
    EXPECT_EQ(stage->put({&byte, -1}), 0);
  }
}

TEST(SampleStagesTest, PutsWithoutGetAppendInOrderAcrossBufferGrowth) {
  auto upmix = new_upmix_stage();
  std::vector<int16_t> expected;
  for (int16_t block = 0; block < 5; ++block) {
    const std::vector<int16_t> in(3000, block);  // 12000 bytes out each: grows past 8192
    const auto bytes = Bytes(in);
    ASSERT_EQ(upmix->put({bytes.data(), static_cast<int32_t>(bytes.size())}), 1);
    expected.insert(expected.end(), 6000, block);
  }
  std::vector<uint8_t> out;
  test::Collect(*upmix, &out);
  EXPECT_EQ(Samples(out), expected);
}

}  // namespace
}  // namespace kowaki
