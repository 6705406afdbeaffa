#include "convert/pcm_format.h"

#include <algorithm>
#include <cstdint>

namespace kowaki {

namespace {

// Microsoft ADPCM's standard predictor coefficient pairs, in 1/256.
constexpr int16_t kMsAdpcmCoefficients[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                                {240, 0}, {460, -208}, {392, -232}};

void PutExtraWord(WaveFormat* format, int index, uint32_t value) {
  WriteLe16(format->extra + 2 * index, value);
}

}  // namespace

PcmFormat MakePcmFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
  const auto block_align = static_cast<uint16_t>(channels * (bits / 8));
  return PcmFormat{kFormatPcm, channels, rate, rate * block_align, block_align, bits, 0};
}

bool PcmFormatFits(uint32_t rate, uint32_t channels, uint32_t bits) {
  const uint64_t frame = uint64_t{channels} * (bits / 8);
  return frame <= UINT16_MAX && frame * rate <= UINT32_MAX;
}

bool MakeCodecFormat(uint16_t tag, uint32_t rate, uint16_t channels, WaveFormat* format) {
  *format = WaveFormat{{tag, channels, rate, rate * channels, channels, 8, 0}};
  if (tag == kFormatMulaw || tag == kFormatAlaw) return channels >= 1;
  if ((tag != kFormatImaAdpcm && tag != kFormatMsAdpcm) || channels < 1 || channels > 2)
    return false;
  const uint32_t block = 256u * channels * std::clamp<uint32_t>(rate / 11025, 1, 64);
  uint32_t frames;
  if (tag == kFormatImaAdpcm) {
    // A 4-byte header per channel holds the first sample, then 8 samples
    // per 4 bytes and channel.
    frames = (block - 4 * channels) * 2 / channels + 1;
    format->extra_size = 2;
  } else {
    // A 7-byte header per channel holds the first two samples, then a
    // sample per half byte and channel.
    frames = (block - 7 * channels) * 2 / channels + 2;
    format->extra_size = 4 + 4 * 7;
    PutExtraWord(format, 1, 7);
    for (int i = 0; i < 7; ++i) {
      PutExtraWord(format, 2 + 2 * i, static_cast<uint16_t>(kMsAdpcmCoefficients[i][0]));
      PutExtraWord(format, 3 + 2 * i, static_cast<uint16_t>(kMsAdpcmCoefficients[i][1]));
    }
  }
  PutExtraWord(format, 0, frames);
  format->block_align = static_cast<uint16_t>(block);
  format->bits_per_sample = 4;
  format->avg_bytes_per_sec = static_cast<uint32_t>(uint64_t{rate} * block / frames);
  return true;
}

}  // namespace kowaki
