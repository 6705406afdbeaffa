// The wave-out player against the simulated device: the ring of buffers,
// draining, positions, stopping, and a device that refuses buffers.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "audio/wave_out_player.h"
#include "tests/audio/simulated_wave_out.h"

namespace kowaki::test {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A block of `frames` 16-bit frames whose bytes tell where they came from.
std::string Block(const PcmFormat& format, uint32_t frames, char tag) {
  std::string block(frames * format.block_align, tag);
  block[0] = static_cast<char>(frames);
  return block;
}

// Index of each written header in the ring, an array whose last header
// a fresh player's first write takes.
std::vector<int64_t> HeaderIndices(const std::vector<const WaveHeader*>& written) {
  std::vector<int64_t> indices;
  for (const WaveHeader* header : written)
    indices.push_back(WaveOutPlayer::kBuffers - 1 + (header - written[0]));
  return indices;
}

class WaveOutPlayerTest : public ::testing::Test {
 protected:
  WaveOutPlayerPtr Create(SimulatedWaveOut& device, const PcmFormat& format,
                          int32_t frames = 2048) {
    return WaveOutPlayer::create(format, frames, device.Output()).value_or(nullptr);
  }
  // Why no player is made.
  static WaveOpenError Refusal(SimulatedWaveOut& device, const PcmFormat& format,
                               int32_t frames = 2048) {
    const auto player = WaveOutPlayer::create(format, frames, device.Output());
    EXPECT_FALSE(player);
    return player ? WaveOpenError::kFailed : player.failure();
  }
  WriteResult Write(WaveOutPlayer& player, const std::string& block) {
    return player.write(block.data(), static_cast<uint32_t>(block.size()));
  }

  const PcmFormat stereo_ = MakePcmFormat(44100, 2, 16);
  const PcmFormat mono_ = MakePcmFormat(22050, 1, 16);
};

TEST_F(WaveOutPlayerTest, WritesFillTheRingFromTheTopAndTheSeventeenthWaitsForTheFirst) {
  SimulatedWaveOut device;
  WaveOutPlayerPtr player = Create(device, stereo_);
  ASSERT_TRUE(player);
  std::string expected;
  for (int i = 0; i < 16; ++i) {
    const std::string block = Block(stereo_, 2048, static_cast<char>('a' + i));
    EXPECT_EQ(Write(*player, block), WriteResult::kQueued);
    expected += block;
  }
  std::vector<int64_t> order;
  for (int64_t i = 15; i >= 0; --i) order.push_back(i);
  EXPECT_EQ(HeaderIndices(device.Written()), order);

  std::atomic<bool> returned{false};
  const std::string seventeenth = Block(stereo_, 100, 'q');
  std::thread writer([&] {
    EXPECT_EQ(Write(*player, seventeenth), WriteResult::kQueued);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(returned);  // every buffer still queued
  ASSERT_TRUE(device.FinishOne());
  writer.join();
  const auto written = device.Written();
  ASSERT_EQ(written.size(), 17u);
  EXPECT_EQ(written[16], written[0]);  // header 15, played first, refilled
  device.FinishAll();
  EXPECT_EQ(device.Played(), expected + seventeenth);
  EXPECT_EQ(player->drain(100), DrainResult::kPlayed);
}

TEST_F(WaveOutPlayerTest, DrainWaitsForTheLastBufferWithinItsTimeOut) {
  SimulatedWaveOut device;
  WaveOutPlayerPtr player = Create(device, mono_);
  EXPECT_EQ(player->drain(100), DrainResult::kPlayed);  // nothing queued

  const std::string block = Block(mono_, 2048, 'd');
  for (int i = 0; i < 4; ++i) Write(*player, block);
  Clock::time_point start = Clock::now();
  EXPECT_EQ(player->drain(100), DrainResult::kTimedOut);
  EXPECT_GE(MillisecondsSince(start), 90);  // the tick count may be that coarse
  EXPECT_EQ(device.Queued(), 4u);           // still queued, still playing

  // A buffer finishes every 60 ms; the call during which the last one
  // does returns 0, the ones before it 2.
  std::thread finisher([&] {
    while (device.Queued() > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      device.FinishOne();
    }
  });
  std::vector<DrainResult> results;
  do {
    results.push_back(player->drain(100));
  } while (results.back() == DrainResult::kTimedOut && results.size() < 100);
  finisher.join();
  EXPECT_EQ(results.back(), DrainResult::kPlayed);
  EXPECT_GE(results.size(), 2u);
  EXPECT_EQ(device.Played(), block + block + block + block);

  // Ending well before its time-out: the call returns when the buffer finishes.
  Write(*player, block);
  std::thread late([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    device.FinishOne();
  });
  start = Clock::now();
  EXPECT_EQ(player->drain(5000), DrainResult::kPlayed);
  EXPECT_LT(MillisecondsSince(start), 4000);
  late.join();
}

TEST_F(WaveOutPlayerTest, DrainTimesOutAcrossTheTickCountsWrap) {
  SimulatedWaveOut device;
  // A clock 40 ms short of wrapping to 0.
  const uint32_t offset = 0u - TickCount() - 40;
  WaveOutPlayerPtr player = WaveOutPlayer::create(mono_, 2048, device.Output([offset] {
                              return TickCount() + offset;
                            })).value_or(nullptr);
  ASSERT_TRUE(player);
  Write(*player, Block(mono_, 10, 'w'));
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(player->drain(100), DrainResult::kTimedOut);
  EXPECT_GE(MillisecondsSince(start), 90);
  device.FinishAll();
  EXPECT_EQ(player->drain(100), DrainResult::kPlayed);
}

TEST_F(WaveOutPlayerTest, PositionCountsPlayedFramesInWhateverFormatTheDeviceAnswers) {
  SimulatedWaveOut samples;
  WaveOutPlayerPtr player = Create(samples, stereo_, 1000);
  EXPECT_EQ(player->position(), 0u);
  for (int i = 0; i < 5; ++i) Write(*player, Block(stereo_, 1000 - static_cast<uint32_t>(i), 's'));
  EXPECT_EQ(player->position(), 0u);  // written, not yet played
  samples.FinishOne();
  EXPECT_EQ(player->position(), 1000u);
  samples.FinishAll();
  EXPECT_EQ(player->position(), 4990u);
  EXPECT_EQ(player->drain(100), DrainResult::kPlayed);
  EXPECT_EQ(player->position(), 4990u);

  // 1500 ms at 22050 Hz.
  SimulatedWaveOut milliseconds({.time_format = WaveTimeFormat::kMilliseconds});
  player = Create(milliseconds, mono_, 33075);
  Write(*player, Block(mono_, 33075, 'm'));
  milliseconds.FinishAll();
  EXPECT_EQ(player->position(), 33075u);

  SimulatedWaveOut bytes({.time_format = WaveTimeFormat::kBytes});
  player = Create(bytes, stereo_, 3000);
  Write(*player, Block(stereo_, 2999, 'b'));
  bytes.FinishAll();
  EXPECT_EQ(player->position(), 2999u);

  SimulatedWaveOut smpte({.time_format = WaveTimeFormat::kSmpte});
  player = Create(smpte, stereo_);
  Write(*player, Block(stereo_, 2048, 't'));
  smpte.FinishAll();
  EXPECT_EQ(player->position(), 0u);  // a format it cannot convert
}

TEST_F(WaveOutPlayerTest, DestroyWhileBuffersAreQueuedCutsTheSoundOff) {
  SimulatedWaveOut device;
  WaveOutPlayerPtr player = Create(device, stereo_);
  const std::string block = Block(stereo_, 2048, 'c');
  for (int i = 0; i < 16; ++i) Write(*player, block);
  device.FinishOne();
  player.reset();
  EXPECT_EQ(device.Resets(), 1);
  EXPECT_EQ(device.Closes(), 1);
  EXPECT_FALSE(device.Open());
  EXPECT_EQ(device.Queued(), 0u);
  EXPECT_EQ(device.Played(), block);  // the rest was never played

  player = Create(device, stereo_);  // the device is free again
  EXPECT_TRUE(player);
  WaveOutPlayer::destroy(nullptr);  // a null player is left alone
}

TEST_F(WaveOutPlayerTest, RefusedBuffersGoBackToTheRing) {
  SimulatedWaveOut device({.refuse_prepares = 3, .refuse_writes = 20});
  WaveOutPlayerPtr player = Create(device, mono_, 256);
  const std::string refused = Block(mono_, 256, 'r');
  // More refusals than buffers: none of them may wait for a buffer.
  for (int i = 0; i < 23; ++i) EXPECT_EQ(Write(*player, refused), WriteResult::kRefused) << i;
  const std::string taken = Block(mono_, 256, 'k');
  EXPECT_EQ(Write(*player, taken), WriteResult::kQueued);
  EXPECT_EQ(device.Written().size(), 1u);
  EXPECT_EQ(device.Queued(), 1u);
  device.FinishAll();
  EXPECT_EQ(device.Played(), taken);
  EXPECT_EQ(player->drain(100), DrainResult::kPlayed);
}

TEST_F(WaveOutPlayerTest, ABlockLargerThanABufferIsRefused) {
  SimulatedWaveOut device;
  WaveOutPlayerPtr player = Create(device, mono_, 16);
  EXPECT_EQ(Write(*player, std::string(33, 'z')), WriteResult::kRefused);
  EXPECT_EQ(Write(*player, std::string(32, 'z')), WriteResult::kQueued);
  EXPECT_EQ(device.Queued(), 1u);
}

TEST_F(WaveOutPlayerTest, CreateSaysWhyItFailsAndLeavesNothingOpen) {
  SimulatedWaveOut absent({.present = false});
  EXPECT_EQ(Refusal(absent, stereo_), WaveOpenError::kNoDevice);
  EXPECT_TRUE(absent.Opened().empty());
  SimulatedWaveOut refusing({.takes_formats = false});
  EXPECT_EQ(Refusal(refusing, stereo_), WaveOpenError::kFormatRefused);
  EXPECT_TRUE(refusing.Opened().empty());

  SimulatedWaveOut device;
  EXPECT_EQ(Refusal(device, stereo_, 0), WaveOpenError::kFailed);
  // Buffers beyond what 32 bits count.
  EXPECT_EQ(Refusal(device, stereo_, 0x7FFFFFFF), WaveOpenError::kFailed);
  EXPECT_EQ(device.Opened().size(), 2u);
  EXPECT_EQ(device.Closes(), 2);
  EXPECT_FALSE(device.Open());
}

}  // namespace
}  // namespace kowaki::test
