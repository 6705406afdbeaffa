// The codec stage over a scripted ACM: what it converts when, with which
// flags, what it carries over, and how it keeps the header prepared.

#include "convert/acm_stage.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "tests/convert/fake_acm.h"
#include "tests/convert/pcm_test_util.h"

namespace kowaki {
namespace {

using Calls = std::vector<std::string>;

// Distinct bytes, so a misplaced one shows.
std::vector<uint8_t> Input(size_t size) {
  std::vector<uint8_t> bytes(size);
  std::iota(bytes.begin(), bytes.end(), uint8_t{1});
  return bytes;
}

// What the fake makes of `bytes`.
std::vector<uint8_t> Doubled(std::span<const uint8_t> bytes) {
  std::vector<uint8_t> out;
  for (uint8_t b : bytes) out.insert(out.end(), {b, b});
  return out;
}

class AcmStageTest : public ::testing::Test {
 protected:
  PcmStagePtr Open(int32_t block) {
    acm_ = std::make_unique<test::FakeAcm>(block);
    PcmStagePtr stage =
        new_acm_stage(MakePcmFormat(8000, 1, 16), MakePcmFormat(8000, 1, 16), *acm_);
    EXPECT_NE(stage, nullptr);
    EXPECT_EQ(acm_->TakeCalls(), Calls{"open"});
    return stage;
  }

  // Puts `size` bytes of `in` from `*at` on; returns what get hands out.
  std::vector<uint8_t> Put(PcmStage& stage, const std::vector<uint8_t>& in, size_t* at,
                           size_t size) {
    EXPECT_EQ(stage.put({in.data() + *at, static_cast<int32_t>(size)}), 1);
    *at += size;
    std::vector<uint8_t> out;
    test::Collect(stage, &out);
    return out;
  }

  std::unique_ptr<test::FakeAcm> acm_;
};

TEST_F(AcmStageTest, ConvertsOnlyOnce256BytesAreAtHand) {
  auto stage = Open(1);
  const auto in = Input(300);
  size_t at = 0;
  EXPECT_TRUE(Put(*stage, in, &at, 100).empty());
  EXPECT_TRUE(Put(*stage, in, &at, 100).empty());
  EXPECT_EQ(acm_->TakeCalls(), (Calls{"size 100", "prepare 200/400", "size 200"}));
  EXPECT_EQ(Put(*stage, in, &at, 100), Doubled(in));
  EXPECT_EQ(acm_->TakeCalls(), (Calls{"size 300", "unprepare 200/400", "prepare 600/1200",
                                      "convert 300 START|BLOCKALIGN -> 300"}));
}

TEST_F(AcmStageTest, CarriesWhatWholeBlocksLeaveAndPutsItFirst) {
  auto stage = Open(128);
  const auto in = Input(900);
  size_t at = 0;
  std::vector<uint8_t> out = Put(*stage, in, &at, 300);
  const auto second = Put(*stage, in, &at, 300);
  out.insert(out.end(), second.begin(), second.end());
  EXPECT_EQ(out, Doubled(std::span(in).first(512)));
  EXPECT_EQ(acm_->TakeCalls(),
            (Calls{"size 300", "prepare 600/1536", "convert 300 START|BLOCKALIGN -> 256",
                   "size 344", "convert 344 BLOCKALIGN -> 256"}));
  // The carried 88 bytes, then the next 300.
  EXPECT_EQ(Put(*stage, in, &at, 300), Doubled(std::span(in).subspan(512, 384)));
  EXPECT_EQ(stage->flush(), 1);
  out.clear();
  test::Collect(*stage, &out);
  EXPECT_EQ(out, Doubled(std::span(in).subspan(896)));
  EXPECT_EQ(acm_->TakeCalls(),
            (Calls{"size 388", "convert 388 BLOCKALIGN -> 384", "size 4", "convert 4 END -> 4"}));
}

TEST_F(AcmStageTest, AConversionThatTakesAllLeavesNoCarry) {
  auto stage = Open(100);
  const auto in = Input(600);
  size_t at = 0;
  EXPECT_EQ(Put(*stage, in, &at, 300), Doubled(std::span(in).first(300)));
  EXPECT_EQ(Put(*stage, in, &at, 300), Doubled(std::span(in).subspan(300)));
  EXPECT_EQ(acm_->TakeCalls(),
            (Calls{"size 300", "prepare 600/1200", "convert 300 START|BLOCKALIGN -> 300",
                   "size 300", "convert 300 BLOCKALIGN -> 300"}));
  // Nothing held back: flush converts nothing.
  EXPECT_EQ(stage->flush(), 1);
  std::vector<uint8_t> out;
  test::Collect(*stage, &out);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(acm_->TakeCalls(), Calls{});
}

TEST_F(AcmStageTest, StartFlagUntilAConversionLeavesOutput) {
  auto stage = Open(512);
  const auto in = Input(1000);
  size_t at = 0;
  EXPECT_TRUE(Put(*stage, in, &at, 300).empty());
  EXPECT_EQ(Put(*stage, in, &at, 300), Doubled(std::span(in).first(512)));
  EXPECT_TRUE(Put(*stage, in, &at, 300).empty());
  ASSERT_EQ(stage->flush(), 1);
  std::vector<uint8_t> out;
  test::Collect(*stage, &out);
  EXPECT_EQ(out, Doubled(std::span(in).subspan(512, 388)));
  EXPECT_EQ(acm_->TakeCalls(),
            (Calls{"size 300", "prepare 600/2048", "convert 300 START|BLOCKALIGN -> 0", "size 600",
                   "convert 600 START|BLOCKALIGN -> 512", "size 388", "convert 388 BLOCKALIGN -> 0",
                   "size 388", "convert 388 END -> 388"}));
}

TEST_F(AcmStageTest, FlushOfAShortStreamConvertsItWithStartAndEnd) {
  auto stage = Open(64);
  const auto in = Input(100);
  size_t at = 0;
  EXPECT_TRUE(Put(*stage, in, &at, 100).empty());
  ASSERT_EQ(stage->flush(), 1);
  std::vector<uint8_t> out;
  test::Collect(*stage, &out);
  EXPECT_EQ(out, Doubled(in));
  EXPECT_EQ(acm_->TakeCalls(),
            (Calls{"size 100", "prepare 200/512", "size 100", "convert 100 START|END -> 100"}));
}

TEST_F(AcmStageTest, OutputOfPutAndFlushComeOutTogetherInOrder) {
  auto stage = Open(128);
  const auto in = Input(300);
  ASSERT_EQ(stage->put({in.data(), 300}), 1);
  ASSERT_EQ(stage->flush(), 1);
  std::vector<uint8_t> out;
  test::Collect(*stage, &out);
  EXPECT_EQ(out, Doubled(in));
  PcmSpan empty;
  EXPECT_EQ(stage->get(&empty), 1);
  EXPECT_EQ(empty.length, 0);
}

TEST_F(AcmStageTest, HeaderStaysPreparedAndIsUnpreparedWithItsOwnLengthsBeforeClosing) {
  auto stage = Open(1);
  const auto in = Input(2200);
  size_t at = 0;
  for (int i = 0; i < 3; ++i) Put(*stage, in, &at, 400);
  Put(*stage, in, &at, 1000);  // outgrows the buffers
  EXPECT_EQ(acm_->TakeCalls(),
            (Calls{"size 400", "prepare 800/1600", "convert 400 START|BLOCKALIGN -> 400",
                   "size 400", "convert 400 BLOCKALIGN -> 400", "size 400",
                   "convert 400 BLOCKALIGN -> 400", "size 1000", "unprepare 800/1600",
                   "prepare 2000/4000", "convert 1000 BLOCKALIGN -> 1000"}));
  stage.reset();
  EXPECT_EQ(acm_->TakeCalls(), (Calls{"unprepare 2000/4000", "close"}));
}

TEST_F(AcmStageTest, DestroyedUnusedItOnlyCloses) {
  auto stage = Open(1);
  stage.reset();
  EXPECT_EQ(acm_->TakeCalls(), Calls{"close"});
}

TEST_F(AcmStageTest, FailuresOfTheCodecFailTheCall) {
  test::FakeAcm refusing(1);
  refusing.FailFrom("open", 1);
  EXPECT_EQ(new_acm_stage(MakePcmFormat(8000, 1, 16), MakePcmFormat(8000, 1, 16), refusing),
            nullptr);
  EXPECT_EQ(refusing.calls(), Calls{"open failed"});

  const auto in = Input(700);
  auto stage = Open(1);
  acm_->FailFrom("convert", 2);
  size_t at = 0;
  Put(*stage, in, &at, 300);
  Put(*stage, in, &at, 100);
  EXPECT_EQ(stage->flush(), 0);
  EXPECT_EQ(stage->put({in.data(), 300}), 0);
  stage.reset();

  // A failed prepare leaves the header unprepared; the next load prepares
  // it again.
  stage = Open(1);
  acm_->FailFrom("prepare", 1);
  EXPECT_EQ(stage->put({in.data(), 300}), 0);
  acm_->FailFrom("prepare", 3);
  at = 0;
  EXPECT_EQ(Put(*stage, in, &at, 300), Doubled(std::span(in).first(300)));
  EXPECT_EQ(acm_->TakeCalls(), (Calls{"size 300", "prepare 600/1200 failed", "size 300",
                                      "prepare 600/1200", "convert 300 START|BLOCKALIGN -> 300"}));
}

TEST_F(AcmStageTest, BytesTheCodecCannotSizeWaitForMore) {
  auto stage = Open(1);
  acm_->FailFrom("size", 1);
  const auto in = Input(600);
  size_t at = 0;
  EXPECT_TRUE(Put(*stage, in, &at, 300).empty());
  acm_->FailFrom("size", 3);
  EXPECT_EQ(Put(*stage, in, &at, 300), Doubled(in));
  EXPECT_EQ(acm_->TakeCalls(), (Calls{"size 300 failed", "size 600", "prepare 1200/2400",
                                      "convert 600 START|BLOCKALIGN -> 600"}));
  // At the end they are dropped, as the codec cannot convert them.
  EXPECT_EQ(stage->put({in.data(), 10}), 1);
  EXPECT_EQ(stage->flush(), 1);
  std::vector<uint8_t> out;
  test::Collect(*stage, &out);
  EXPECT_TRUE(out.empty());
}

TEST_F(AcmStageTest, RefusesMalformedSpans) {
  auto stage = Open(1);
  const uint8_t byte = 0;
  EXPECT_EQ(stage->put({&byte, -1}), 0);
  EXPECT_EQ(stage->put({nullptr, 1}), 0);
  EXPECT_EQ(stage->put({nullptr, 0}), 1);
  EXPECT_EQ(acm_->TakeCalls(), Calls{});
}

}  // namespace
}  // namespace kowaki
