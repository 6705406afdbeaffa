// The codec stage over a scripted ACM: what it converts when, with which
// flags, what it carries over, and that it keeps the ACM's rules on the
// header through growing buffers and to the close.

#include "convert/acm_stage.h"

#include <gtest/gtest.h>

#include <numeric>
#include <optional>
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

// A script of puts (each followed by a get), flushes and the stage's end:
// after each, the bytes converted, and the conversions (and the close) so
// far when given.
constexpr int kFlush = -1;
constexpr int kDestroy = -2;
struct Step {
  int put;           // bytes, or kFlush, or kDestroy
  size_t converted;  // of the input, in order: what comes out is them doubled
  std::optional<Calls> calls = std::nullopt;
};
struct Script {
  const char* name;
  int32_t block;
  std::vector<Step> steps;
};

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
    EXPECT_TRUE(stage.put({in.data() + *at, static_cast<int32_t>(size)}));
    *at += size;
    std::vector<uint8_t> out;
    test::Collect(stage, &out);
    return out;
  }

  // Runs `script` on a stage of its own, checking each step.
  void RunScript(const Script& script) {
    SCOPED_TRACE(script.name);
    auto stage = Open(script.block);
    const auto in = Input(5000);
    size_t at = 0;
    size_t converted = 0;
    for (const Step& step : script.steps) {
      std::vector<uint8_t> out;
      if (step.put >= 0) {
        out = Put(*stage, in, &at, static_cast<size_t>(step.put));
      } else if (step.put == kFlush) {
        EXPECT_TRUE(stage->flush());
        test::Collect(*stage, &out);
      } else {
        stage.reset();
      }
      EXPECT_EQ(out, Doubled(std::span(in).subspan(converted, step.converted)));
      converted += step.converted;
      if (step.calls) {
        EXPECT_EQ(acm_->TakeCalls(), *step.calls);
      }
    }
  }

  std::unique_ptr<test::FakeAcm> acm_;
};

TEST_F(AcmStageTest, ConvertsWholeBlocksWithTheRightFlagsAndCarriesTheRest) {
  const Script scripts[] = {
      {"converts only once 256 bytes are at hand",
       1,
       {{100, 0}, {100, 0, Calls{}}, {100, 300, Calls{"convert 300 START|BLOCKALIGN -> 300"}}}},
      {"carries what whole blocks leave and puts it first",
       128,
       {{300, 256},
        {300, 256, Calls{"convert 300 START|BLOCKALIGN -> 256", "convert 344 BLOCKALIGN -> 256"}},
        {300, 384},  // the carried 88 bytes, then the next 300
        {kFlush, 4, Calls{"convert 388 BLOCKALIGN -> 384", "convert 4 END -> 4"}}}},
      {"a conversion that takes all leaves no carry",
       100,
       {{300, 300},
        {300, 300, Calls{"convert 300 START|BLOCKALIGN -> 300", "convert 300 BLOCKALIGN -> 300"}},
        {kFlush, 0, Calls{}}}},
      {"start flag until a conversion leaves output",
       512,
       {{300, 0},
        {300, 512},
        {300, 0},
        {kFlush, 388,
         Calls{"convert 300 START|BLOCKALIGN -> 0", "convert 600 START|BLOCKALIGN -> 512",
               "convert 388 BLOCKALIGN -> 0", "convert 388 END -> 388"}}}},
      {"flush of a short stream converts it with start and end",
       64,
       {{100, 0}, {kFlush, 100, Calls{"convert 100 START|END -> 100"}}}},
      {"puts that outgrow the buffers, then the close: the header is unprepared as prepared",
       1,
       {{400, 400},
        {400, 400},
        {1000, 1000},
        {3000, 3000,
         Calls{"convert 400 START|BLOCKALIGN -> 400", "convert 400 BLOCKALIGN -> 400",
               "convert 1000 BLOCKALIGN -> 1000", "convert 3000 BLOCKALIGN -> 3000"}},
        {kDestroy, 0, Calls{"close"}}}},
      {"destroyed unused it only closes", 1, {{kDestroy, 0, Calls{"close"}}}},
  };
  for (const Script& script : scripts) RunScript(script);
}

TEST_F(AcmStageTest, OutputOfPutAndFlushComeOutTogetherInOrder) {
  auto stage = Open(128);
  const auto in = Input(300);
  ASSERT_TRUE(stage->put({in.data(), 300}));
  ASSERT_TRUE(stage->flush());
  std::vector<uint8_t> out;
  test::Collect(*stage, &out);
  EXPECT_EQ(out, Doubled(in));
  EXPECT_EQ(stage->get().length, 0);
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
  EXPECT_EQ(test::FailureOf(stage->flush()), PcmError::kCodec);
  EXPECT_EQ(test::FailureOf(stage->put({in.data(), 300})), PcmError::kCodec);
  stage.reset();

  // A failed prepare leaves the header unprepared; the next load prepares
  // it again.
  stage = Open(1);
  acm_->FailFrom("prepare", 1);
  EXPECT_EQ(test::FailureOf(stage->put({in.data(), 300})), PcmError::kCodec);
  acm_->FailFrom("prepare", 3);
  at = 0;
  EXPECT_EQ(Put(*stage, in, &at, 300), Doubled(std::span(in).first(300)));
  EXPECT_EQ(acm_->TakeCalls(), (Calls{"prepare failed", "convert 300 START|BLOCKALIGN -> 300"}));
}

TEST_F(AcmStageTest, BytesTheCodecCannotSizeWaitForMore) {
  auto stage = Open(1);
  acm_->FailFrom("size", 1);
  const auto in = Input(600);
  size_t at = 0;
  EXPECT_TRUE(Put(*stage, in, &at, 300).empty());
  acm_->FailFrom("size", 3);
  EXPECT_EQ(Put(*stage, in, &at, 300), Doubled(in));
  EXPECT_EQ(acm_->TakeCalls(), (Calls{"size failed", "convert 600 START|BLOCKALIGN -> 600"}));
  // At the end they are dropped, as the codec cannot convert them.
  EXPECT_TRUE(stage->put({in.data(), 10}));
  EXPECT_TRUE(stage->flush());
  std::vector<uint8_t> out;
  test::Collect(*stage, &out);
  EXPECT_TRUE(out.empty());

  // A codec that sizes nothing it is given converts nothing: a failure,
  // not an empty success.
  stage.reset();
  stage = Open(1);
  acm_->FailFrom("size", 1);
  at = 0;
  EXPECT_TRUE(Put(*stage, in, &at, 300).empty());
  EXPECT_TRUE(Put(*stage, in, &at, 300).empty());
  EXPECT_EQ(test::FailureOf(stage->flush()), PcmError::kCodec);
  // Given nothing, it has nothing to fail on.
  stage.reset();
  stage = Open(1);
  acm_->FailFrom("size", 1);
  EXPECT_TRUE(stage->flush());
}

TEST_F(AcmStageTest, RefusesMalformedSpans) {
  auto stage = Open(1);
  const uint8_t byte = 0;
  EXPECT_EQ(test::FailureOf(stage->put({&byte, -1})), PcmError::kUnreadable);
  EXPECT_EQ(test::FailureOf(stage->put({nullptr, 1})), PcmError::kUnreadable);
  EXPECT_TRUE(stage->put({nullptr, 0}));
  EXPECT_EQ(acm_->TakeCalls(), Calls{});
}

}  // namespace
}  // namespace kowaki
