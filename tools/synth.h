#pragma once
// Made-up voice clips: a synthetic voice-like signal and an Ogg Vorbis
// encoder for it. The demo archive, the test fixtures and the benchmarks
// are built from these, never from clips of unknown origin.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kowaki::synth {

// A vowel-like tone: harmonics of `pitch_hz` under two formants, with
// vibrato and a soft attack and release; interleaved 16-bit samples.
// In stereo the voice drifts from left to right.
std::vector<int16_t> Voice(int rate, int channels, double seconds, double pitch_hz);

// Encodes interleaved 16-bit PCM as one Ogg Vorbis stream (VBR quality
// `quality`, -0.1 to 1). The same input and serial give the same bytes.
// Empty on failure.
std::string EncodeVorbis(std::span<const int16_t> interleaved, int channels, int rate,
                         float quality = 0.3f, int serial = 1);

}  // namespace kowaki::synth
