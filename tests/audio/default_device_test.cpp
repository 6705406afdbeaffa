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

TEST(DefaultDeviceTest, WithoutASoundDeviceNoPlayerIsMade) {
  SetEnvironment("SDL_AUDIODRIVER", "kowaki-none");
  EXPECT_FALSE(WaveOutPlayer::create(kFormat, kFrames));
}

TEST(DefaultDeviceTest, TheDeviceGetsEveryByteWrittenInOrder) {
  TempDir dir;
  const std::string file = dir.File("heard.raw");
  SetEnvironment("SDL_AUDIODRIVER", "disk");
  SetEnvironment("SDL_DISKAUDIOFILE", file);
  WaveOutPlayerPtr player = WaveOutPlayer::create(kFormat, kFrames);
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
  WaveOutPlayerPtr player = WaveOutPlayer::create(kFormat, kFrames);
  if (!file) {
    // No device set up: none may be left open either.
    if (!player) return;
    GTEST_SKIP() << "a sound card of its own";
  }
  ASSERT_TRUE(player) << "the test's sound device is missing";
  const std::string sound = Sound(20);
  EXPECT_EQ(PlayToTheEnd(*player, sound), 20u * kFrames);
  player.reset();
  ExpectHeard(ReadBytes(file), sound);
}

#endif

}  // namespace
}  // namespace kowaki::test
