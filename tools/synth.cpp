#include "tools/synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "convert/samples.h"
#include "convert/vorbis_encoder.h"

namespace kowaki::synth {

namespace {

double Formant(double frequency, double centre, double width) {
  const double d = (frequency - centre) / width;
  return 1.0 / (1.0 + d * d);
}

}  // namespace

std::vector<int16_t> Voice(int rate, int channels, double seconds, double pitch_hz) {
  const auto frames = static_cast<size_t>(std::lround(seconds * rate));
  const double nyquist = rate / 2.0;
  const double two_pi = 2.0 * std::numbers::pi;
  std::vector<int16_t> out(frames * static_cast<size_t>(channels));
  double phase = 0.0;
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double pitch = pitch_hz * (1.0 + 0.02 * std::sin(two_pi * 5.5 * t));
    phase += two_pi * pitch / rate;
    double value = 0.0;
    for (int h = 1; h * pitch < nyquist && h <= 40; ++h) {
      const double f = h * pitch;
      value += (Formant(f, 700.0, 130.0) + 0.6 * Formant(f, 1200.0, 160.0)) * std::sin(h * phase) /
               std::sqrt(h);
    }
    const double envelope =
        std::min({1.0, t / 0.03, (seconds - t) / 0.08}) * (0.8 + 0.2 * std::sin(two_pi * 3 * t));
    const double sample = std::clamp(value * envelope * 0.35, -1.0, 1.0) * 32767.0;
    const double pan = frames > 1 ? static_cast<double>(i) / static_cast<double>(frames - 1) : 0.5;
    for (int c = 0; c < channels; ++c) {
      const double gain = channels == 1 ? 1.0 : (c == 0 ? 1.0 - 0.6 * pan : 0.4 + 0.6 * pan);
      out[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
          static_cast<int16_t>(std::lround(sample * gain));
    }
  }
  return out;
}

std::string EncodeVorbis(std::span<const int16_t> interleaved, int channels, int rate,
                         float quality, int serial) {
  std::string out;
  const auto append = [&out](std::span<const uint8_t> bytes) {
    out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return true;
  };
  Result<VorbisEncoder, VorbisError> encoder =
      VorbisEncoder::Open({rate, channels, quality, serial, "kowaki synth"}, append);
  if (!encoder) return {};
  // The encoder takes samples as they are stored: little-endian bytes.
  std::vector<uint8_t> pcm(interleaved.size() * 2);
  for (size_t i = 0; i < interleaved.size(); ++i) StoreSample(&pcm[2 * i], interleaved[i]);
  if (!encoder->Write(pcm) || !encoder->Finish()) return {};
  return out;
}

}  // namespace kowaki::synth
