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
using Int16s = std::vector<int16_t>;

std::vector<uint8_t> Convert(PcmStagePtr stage, const std::vector<uint8_t>& in) {
  return test::Stream(*stage, in);
}

TEST(SampleStagesTest, ConvertEachValueByItsRule) {
  EXPECT_EQ(Convert(new_narrow_stage(),
                    Bytes(Int16s{-32768, -32641, -32640, -129, -128, 0, 32639, 32640, 32767})),
            (std::vector<uint8_t>{0, 0, 1, 127, 128, 128, 255, 255, 255}));
  EXPECT_EQ(Samples(Convert(new_widen_stage(), {0, 128, 255, 1})),
            (Int16s{-32768, 0, 32512, -32512}));
  // Repeated past the length the mixing loop takes per step.
  const Int16s frames = {1, 0, -1, 0, -1, -1, -5, -5, 32767, 32767, -32768, -32768};
  const Int16s mixed = {1, 0, 0, -4, 32767, -32767};
  Int16s many_frames, many_mixed;
  for (int i = 0; i < 5; ++i) {
    many_frames.insert(many_frames.end(), frames.begin(), frames.end());
    many_mixed.insert(many_mixed.end(), mixed.begin(), mixed.end());
  }
  EXPECT_EQ(Samples(Convert(new_downmix_stage(), Bytes(many_frames))), many_mixed);
  EXPECT_EQ(Samples(Convert(new_upmix_stage(), Bytes(Int16s{3, -7}))), (Int16s{3, 3, -7, -7}));
}

TEST(SampleStagesTest, PartialUnitsAreDroppedAndBadSpansRefused) {
  const std::vector<uint8_t> five = {100, 0, 44, 1, 9};  // (100, 300) and a stray byte
  auto downmix = new_downmix_stage();
  const PcmSpan out = downmix->get();  // nothing pending yet
  EXPECT_EQ(out.data, nullptr);
  EXPECT_EQ(out.length, 0);
  EXPECT_EQ(Samples(test::Stream(*downmix, five)), Int16s{200});
  EXPECT_EQ(Samples(test::Stream(*downmix, Bytes(Int16s{2, 4}))), Int16s{3});  // nothing carried
  EXPECT_EQ(Convert(new_narrow_stage(), five).size(), 2u);
  EXPECT_TRUE(downmix->put({nullptr, 0}));
  EXPECT_EQ(test::FailureOf(downmix->put({nullptr, 4})), PcmError::kUnreadable);
  EXPECT_EQ(test::FailureOf(downmix->put({five.data(), -1})), PcmError::kUnreadable);
}

TEST(SampleStagesTest, PutsWithoutGetAppendInOrderAcrossBufferGrowth) {
  auto upmix = new_upmix_stage();
  Int16s expected;
  for (int16_t block = 0; block < 5; ++block) {
    const auto bytes = Bytes(Int16s(3000, block));  // 12000 bytes out each: past 8192
    ASSERT_TRUE(upmix->put({bytes.data(), static_cast<int32_t>(bytes.size())}));
    expected.insert(expected.end(), 6000, block);
  }
  std::vector<uint8_t> out;
  test::Collect(*upmix, &out);
  EXPECT_EQ(Samples(out), expected);
}

}  // namespace
}  // namespace kowaki
