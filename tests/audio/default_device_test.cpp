// The player on the system's own device. Natively SDL's disk driver
// stands in for a sound card and writes what reaches it to a file; under
// Wine an ALSA device that writes to a file does the same when the test's
// environment sets one up (KOWAKI_SOUND_FILE names the file), and without
// it there is no device at all.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "audio/wave_out_player.h"
#include "tests/audio/simulated_wave_out.h"
#include "tests/support/files.h"
#include "tests/support/run_command.h"

namespace kowaki::test {
namespace {

const PcmFormat kFormat = MakePcmFormat(22050, 2, 16);
constexpr int32_t kFrames = 2048;

// Blocks of a ramp that no silence looks like.
std::string Sound(int32_t blocks) {
  std::string sound;
  for (int32_t i = 0; i < blocks * kFrames * 2; ++i) {
    const auto sample = static_cast<uint16_t>(1000 + i % 20000);
    sound += static_cast<char>(sample & 0xFF);
    sound += static_cast<char>(sample >> 8);
  }
  return sound;
}

// Plays `sound` to its end; the frames the player counted.
uint32_t PlayToTheEnd(WaveOutPlayer& player, const std::string& sound) {
  const uint32_t block = kFrames * kFormat.block_align;
  for (size_t at = 0; at < sound.size(); at += block) {
    EXPECT_EQ(player.write(sound.data() + at, block), WriteResult::kQueued);
  }
  DrainResult drained;
  int32_t waits = 0;
  while ((drained = player.drain(100)) == DrainResult::kTimedOut && waits++ < 200) {
  }
  EXPECT_EQ(drained, DrainResult::kPlayed);
  return player.position();
}

#if !defined(_WIN32)

// Why `format` gets no player; kFailed when it gets one.
WaveOpenError Refusal(const PcmFormat& format) {
  const auto player = WaveOutPlayer::create(format, kFrames);
  EXPECT_FALSE(player);
  return player ? WaveOpenError::kFailed : player.failure();
}

// No audio driver, or a driver without a device, is no device; a device
// that is there refuses what SDL does not take.
TEST(DefaultDeviceTest, NoDeviceIsToldFromAFormatTheDeviceRefuses) {
  SetEnvironment("SDL_AUDIODRIVER", "kowaki-none");
  EXPECT_EQ(Refusal(kFormat), WaveOpenError::kNoDevice);
  TempDir dir;
  const std::string empty = dir.File("asound.conf");  // no PCM at all, not even "default"
  WriteBytes(empty, "");
  SetEnvironment("ALSA_CONFIG_PATH", empty);
  SetEnvironment("SDL_AUDIODRIVER", "alsa");
  EXPECT_EQ(Refusal(kFormat), WaveOpenError::kNoDevice);

  SetEnvironment("SDL_AUDIODRIVER", "dummy");
  EXPECT_TRUE(WaveOutPlayer::create(kFormat, kFrames));
  EXPECT_EQ(Refusal(MakePcmFormat(22050, 9, 16)), WaveOpenError::kFormatRefused);  // 8 at most
  EXPECT_EQ(Refusal(MakePcmFormat(22050, 2, 24)), WaveOpenError::kFormatRefused);
}

TEST(DefaultDeviceTest, TheDeviceGetsEveryByteWrittenInOrder) {
  TempDir dir;
  const std::string file = dir.File("heard.raw");
  SetEnvironment("SDL_AUDIODRIVER", "disk");
  SetEnvironment("SDL_DISKAUDIOFILE", file);
  WaveOutPlayerPtr player = WaveOutPlayer::create(kFormat, kFrames).value_or(nullptr);
  ASSERT_TRUE(player);
  EXPECT_EQ(player->position(), 0u);
  const std::string sound = Sound(20);  // more than the ring holds
  EXPECT_EQ(PlayToTheEnd(*player, sound), 20u * kFrames);
  player.reset();
  ExpectHeard(ReadBytes(file), sound);
}

#else

TEST(DefaultDeviceTest, PlaysThroughWinmmWhereThereIsADevice) {
  const char* file = std::getenv("KOWAKI_SOUND_FILE");
  auto opened = WaveOutPlayer::create(kFormat, kFrames);
  if (!file) {
    // No device set up: none may be left open either, and that is the reason.
    if (!opened) {
      EXPECT_EQ(opened.failure(), WaveOpenError::kNoDevice);
      return;
    }
    GTEST_SKIP() << "a sound card of its own";
  }
  WaveOutPlayerPtr player = std::move(opened).value_or(nullptr);
  ASSERT_TRUE(player) << "the test's sound device is missing";
  const std::string sound = Sound(20);
  EXPECT_EQ(PlayToTheEnd(*player, sound), 20u * kFrames);
  player.reset();
  ExpectHeard(ReadBytes(file), sound);
}

#endif

}  // namespace
}  // namespace kowaki::test
