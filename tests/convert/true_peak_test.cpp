// The true-peak meter against libebur128's, which takes the same filter a
// frame at a time in double precision.

#include "convert/true_peak.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kowaki::test {
namespace {

// Interleaved frames: a tone at a quarter of the rate whose samples fall
// 45 degrees either side of its peaks, a little noise, and on request
// full-scale clicks.
std::vector<int16_t> Signal(int32_t channels, size_t frames, bool clicks) {
  std::vector<int16_t> pcm;
  uint32_t noise = 7;
  for (size_t i = 0; i < frames; ++i) {
    for (int32_t c = 0; c < channels; ++c) {
      noise = noise * 1664525u + 1013904223u;
      const double phase = 3.14159265358979 * (0.5 * static_cast<double>(i) + 0.25 + 0.5 * c);
      double value = 16000 * std::sin(phase) + static_cast<int32_t>(noise >> 22) - 512;
      if (clicks && i % 9973 == static_cast<size_t>(500 + c)) value = c % 2 ? -32768 : 32767;
      pcm.push_back(static_cast<int16_t>(std::clamp(value, -32768.0, 32767.0)));
    }
  }
  return pcm;
}

double Reference(int32_t rate, int32_t channels, const std::vector<int16_t>& pcm) {
  ebur128_state* meter = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned>(rate),
                                      EBUR128_MODE_TRUE_PEAK);
  EXPECT_NE(meter, nullptr);
  if (!meter) return 0;
  ebur128_add_frames_short(meter, pcm.data(), pcm.size() / static_cast<size_t>(channels));
  double highest = 0;
  for (unsigned c = 0; c < static_cast<unsigned>(channels); ++c) {
    double peak = 0;
    ebur128_true_peak(meter, c, &peak);
    highest = std::max(highest, peak);
  }
  ebur128_destroy(&meter);
  return highest;
}

// Every oversampling factor, one channel to six, the frames given in
// pieces that split the meter's blocks (one frame at a time too); the
// tone's peaks between its samples (which reach about 11,800) are found.
TEST(TruePeakMeterTest, AgreesWithLibebur128WhateverThePieces) {
  const struct {
    int32_t rate, channels;
    size_t frames, piece;
  } cases[] = {{8000, 1, 3001, 1},     {44100, 2, 50000, 4099},  {48000, 6, 30000, 1024},
               {96000, 2, 40000, 777}, {192000, 1, 20000, 5000}, {22050, 1, 5, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    const std::vector<int16_t> pcm = Signal(c.channels, c.frames, false);
    TruePeakMeter meter(c.rate, c.channels);
    const auto channels = static_cast<size_t>(c.channels);
    for (size_t at = 0; at < c.frames; at += c.piece) {
      meter.Add(pcm.data() + at * channels, std::min(c.piece, c.frames - at));
    }
    const double expected = Reference(c.rate, c.channels, pcm);
    EXPECT_NEAR(meter.peak(), expected, expected * 1e-6);
    if (c.rate < 192000 && c.frames > 100) {
      EXPECT_GT(meter.peak(), 12500 / 32768.0);
    }
  }
  // Full-scale clicks: the overshoot around them.
  const std::vector<int16_t> clicks = Signal(2, 30000, true);
  TruePeakMeter meter(48000, 2);
  meter.Add(clicks.data(), 30000);
  EXPECT_NEAR(meter.peak(), Reference(48000, 2, clicks), 1e-6);
  EXPECT_GT(meter.peak(), 1.0);
}

}  // namespace
}  // namespace kowaki::test
