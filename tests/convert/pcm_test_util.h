#pragma once
// Byte runs of 16-bit samples, and whole streams pushed through a stage or
// a converter.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "convert/pcm_converter.h"
#include "convert/pcm_stage.h"
#include "tests/support/why.h"

namespace kowaki::test {

inline std::vector<uint8_t> Bytes(std::span<const int16_t> samples) {
  std::vector<uint8_t> bytes;
  for (int16_t s : samples) {
    bytes.push_back(static_cast<uint8_t>(s));
    bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  return bytes;
}

inline std::vector<int16_t> Samples(std::span<const uint8_t> bytes) {
  std::vector<int16_t> samples;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    samples.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
  }
  return samples;
}

inline std::vector<int16_t> Noise(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::vector<int16_t> samples(count);
  for (int16_t& s : samples) s = static_cast<int16_t>(sample(random));
  return samples;
}

// Something like a voice: three tones wandering in pitch, a little noise,
// peaks about half of full scale; the channels differ.
inline std::vector<int16_t> Tones(size_t frames, int channels, int rate) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> noise(-300.0, 300.0);
  std::vector<int16_t> samples;
  for (size_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(f) / rate;
    for (int c = 0; c < channels; ++c) {
      const double base = 180.0 * (1 + c) * (1 + 0.3 * std::sin(2 * 3.14159265 * 1.5 * t));
      double value = noise(random);
      for (int h = 1; h <= 3; ++h) value += 5000.0 / h * std::sin(2 * 3.14159265 * base * h * t);
      samples.push_back(static_cast<int16_t>(value));
    }
  }
  return samples;
}

// How far `decoded` keeps `original`, over the samples both have, in dB.
inline double SnrDb(std::span<const int16_t> original, std::span<const int16_t> decoded) {
  double signal = 0;
  double error = 0;
  for (size_t i = 0; i < std::min(original.size(), decoded.size()); ++i) {
    const double x = original[i];
    const double miss = x - decoded[i];
    signal += x * x;
    error += miss * miss;
  }
  return error == 0 ? 200.0 : 10 * std::log10(signal / error);
}

// Appends what `get` hands out.
inline void Collect(PcmStage& stage, std::vector<uint8_t>* out) {
  const PcmSpan span = stage.get();
  if (span.length > 0) out->insert(out->end(), span.data, span.data + span.length);
}
inline void Collect(PcmConverter& converter, std::vector<uint8_t>* out) {
  const Result<PcmSpan, PcmError> span = converter.get();
  ASSERT_TRUE(span);
  if (span->length > 0) out->insert(out->end(), span->data, span->data + span->length);
}

// The whole stream: put/get pairs of spans whose sizes `next_size` picks
// (all at once by default), then flush and get.
template <typename Stage, typename NextSize>
std::vector<uint8_t> Stream(Stage& stage, std::span<const uint8_t> in, NextSize next_size) {
  std::vector<uint8_t> out;
  for (size_t at = 0; at < in.size();) {
    const size_t size = std::min(next_size(), in.size() - at);
    EXPECT_TRUE(stage.put({in.data() + at, static_cast<int32_t>(size)}));
    Collect(stage, &out);
    at += size;
  }
  EXPECT_TRUE(stage.flush());
  Collect(stage, &out);
  return out;
}

template <typename Stage>
std::vector<uint8_t> Stream(Stage& stage, std::span<const uint8_t> in) {
  return Stream(stage, in, [&] { return in.size(); });
}

}  // namespace kowaki::test
