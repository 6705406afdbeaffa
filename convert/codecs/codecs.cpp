#include "convert/codecs/codecs.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "convert/samples.h"

namespace kowaki::codecs {

namespace {

int32_t Clamp16(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, -32768, 32767));
}

int32_t SignedWord(const uint8_t* p) { return LoadSample(p); }

// Sample `channel` of frame `frame` of a run of `frames` frames; frames
// past the end repeat the last one.
int32_t PaddedSample(const BlockLayout& layout, const uint8_t* in, int32_t frames, int32_t frame,
                     int32_t channel) {
  const int32_t f = std::min(frame, frames - 1);
  return LoadSample(in + 2 * (int64_t{f} * layout.channels + channel));
}

// --- IMA ADPCM ------------------------------------------------------------
// Each 4-bit code scales the current step; the step moves through a table
// of 89 sizes growing by about a tenth.

constexpr int32_t kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int32_t kImaLastStep = 88;
constexpr int32_t kImaIndexMove[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

struct ImaChannel {
  int32_t sample;
  int32_t index;
};

int32_t ImaDecode(ImaChannel* c, int32_t code) {
  const int32_t step = kImaSteps[c->index];
  int32_t diff = step >> 3;
  if (code & 4) diff += step;
  if (code & 2) diff += step >> 1;
  if (code & 1) diff += step >> 2;
  c->sample = Clamp16(code & 8 ? c->sample - diff : c->sample + diff);
  c->index = std::clamp(c->index + kImaIndexMove[code & 7], 0, kImaLastStep);
  return c->sample;
}

// The code whose decoding comes nearest `sample` without passing it by a
// whole step, as the format's encoder quantises.
int32_t ImaCode(const ImaChannel& c, int32_t sample) {
  int32_t step = kImaSteps[c.index];
  int32_t diff = sample - c.sample;
  int32_t code = 0;
  if (diff < 0) {
    code = 8;
    diff = -diff;
  }
  for (int32_t bit = 4; bit > 0; bit >>= 1, step >>= 1) {
    if (diff >= step) {
      code |= bit;
      diff -= step;
    }
  }
  return code;
}

// Frame 0 sits in the channel headers (sample, step index, a zero byte);
// then each group holds 4 bytes per channel, 8 samples each, low nibble
// first.
bool DecodeIma(const BlockLayout& layout, const uint8_t* in, int32_t frames, uint8_t* out) {
  const int32_t channels = layout.channels;
  for (int32_t ch = 0; ch < channels; ++ch) {
    ImaChannel c{SignedWord(in + 4 * ch), in[4 * ch + 2]};
    if (c.index > kImaLastStep) return false;
    StoreSample(out + 2 * ch, c.sample);
    for (int32_t f = 1; f < frames; ++f) {
      const int32_t k = f - 1;  // the code's place after the header
      const uint8_t byte =
          in[layout.header_bytes + (k / 8) * layout.group_bytes + 4 * ch + (k % 8) / 2];
      const int32_t code = k % 2 ? byte >> 4 : byte & 0x0F;
      StoreSample(out + 2 * (int64_t{f} * channels + ch), ImaDecode(&c, code));
    }
  }
  return true;
}

void EncodeIma(const BlockLayout& layout, EncoderState* state, const uint8_t* in, int32_t frames,
               uint8_t* out) {
  const int32_t channels = layout.channels;
  std::fill(out, out + layout.block_bytes, uint8_t{0});
  for (int32_t ch = 0; ch < channels; ++ch) {
    ImaChannel c{PaddedSample(layout, in, frames, 0, ch), state->step_index[ch]};
    StoreSample(out + 4 * ch, c.sample);
    out[4 * ch + 2] = static_cast<uint8_t>(c.index);
    for (int32_t f = 1; f < layout.block_frames; ++f) {
      const int32_t k = f - 1;
      const int32_t code = ImaCode(c, PaddedSample(layout, in, frames, f, ch));
      ImaDecode(&c, code);
      out[layout.header_bytes + (k / 8) * layout.group_bytes + 4 * ch + (k % 8) / 2] |=
          static_cast<uint8_t>(k % 2 ? code << 4 : code);
    }
    state->step_index[ch] = c.index;
  }
}

// --- Microsoft ADPCM ------------------------------------------------------
// Each sample is predicted from the two before it by one of the format's
// coefficient pairs; a signed 4-bit code times the channel's delta
// corrects it, and the delta adapts to the code.

constexpr int32_t kMsAdapt[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                  768, 614, 512, 409, 307, 230, 230, 230};
constexpr int32_t kMsMinDelta = 16;
// Far above any delta a real signal reaches; keeps hostile streams in range.
constexpr int64_t kMsMaxDelta = int64_t{1} << 24;

struct MsChannel {
  int32_t sample1;  // the newer of the two samples before
  int32_t sample2;
  int32_t delta;
  const int32_t* coefficient;
  // Decoders differ in rounding a negative prediction: we (as sox) floor
  // it, others (Wine, ffmpeg) round toward zero.
  bool toward_zero = false;
};

int32_t MsPredict(const MsChannel& c) {
  const int64_t sum = int64_t{c.sample1} * c.coefficient[0] + int64_t{c.sample2} * c.coefficient[1];
  return static_cast<int32_t>(c.toward_zero ? sum / 256 : sum >> 8);
}

int32_t MsDecode(MsChannel* c, int32_t code) {
  const int32_t correction = code >= 8 ? code - 16 : code;
  const int32_t sample = Clamp16(MsPredict(*c) + int64_t{correction} * c->delta);
  c->sample2 = c->sample1;
  c->sample1 = sample;
  c->delta = static_cast<int32_t>(
      std::clamp<int64_t>(int64_t{kMsAdapt[code]} * c->delta >> 8, kMsMinDelta, kMsMaxDelta));
  return sample;
}

// Codes follow the headers frame by frame, channel by channel, high nibble
// first.
int64_t MsCodeOffset(const BlockLayout& layout, int32_t frame, int32_t channel, bool* high) {
  const int64_t k = int64_t{frame - 2} * layout.channels + channel;
  *high = k % 2 == 0;
  return layout.header_bytes + k / 2;
}

// Channel headers: predictor indexes, then deltas, then the second
// sample, then the first, each as one value per channel.
bool DecodeMs(const BlockLayout& layout, const uint8_t* in, int32_t frames, uint8_t* out) {
  const int32_t channels = layout.channels;
  for (int32_t ch = 0; ch < channels; ++ch) {
    const int32_t predictor = in[ch];
    if (predictor >= layout.coefficient_count) return false;
    MsChannel c{SignedWord(in + 3 * channels + 2 * ch), SignedWord(in + 5 * channels + 2 * ch),
                SignedWord(in + channels + 2 * ch), layout.coefficients[predictor]};
    StoreSample(out + 2 * ch, c.sample2);
    StoreSample(out + 2 * (channels + ch), c.sample1);
    for (int32_t f = 2; f < frames; ++f) {
      bool high;
      const uint8_t byte = in[MsCodeOffset(layout, f, ch, &high)];
      StoreSample(out + 2 * (int64_t{f} * channels + ch),
                  MsDecode(&c, high ? byte >> 4 : byte & 0x0F));
    }
  }
  return true;
}

// Runs one channel of a block through the encoder from `c`; writes the
// codes when `out` is given. Returns the squared error as both kinds of
// decoder see it: their difference grows through the block with some
// predictors, so those lose where it would be heard.
int64_t EncodeMsChannel(const BlockLayout& layout, const uint8_t* in, int32_t frames, int32_t ch,
                        MsChannel c, uint8_t* out) {
  MsChannel other = c;
  other.toward_zero = true;
  int64_t error = 0;
  for (int32_t f = 2; f < layout.block_frames; ++f) {
    const int32_t sample = PaddedSample(layout, in, frames, f, ch);
    const int32_t miss = sample - MsPredict(c);
    // The nearest correction, halves away from zero.
    const int32_t half = c.delta / 2;
    const int32_t nearest = miss >= 0 ? (miss + half) / c.delta : -((half - miss) / c.delta);
    const int32_t code = std::clamp(nearest, -8, 7) & 0x0F;
    const int64_t off = sample - MsDecode(&c, code);
    const int64_t other_off = sample - MsDecode(&other, code);
    error += off * off + other_off * other_off;
    if (out) {
      bool high;
      out[MsCodeOffset(layout, f, ch, &high)] |= static_cast<uint8_t>(high ? code << 4 : code);
    }
  }
  return error;
}

// A first delta that the first corrections fit: half their mean size.
int32_t MsFirstDelta(const BlockLayout& layout, const uint8_t* in, int32_t frames, int32_t ch,
                     const int32_t* coefficient) {
  MsChannel c{PaddedSample(layout, in, frames, 1, ch), PaddedSample(layout, in, frames, 0, ch), 0,
              coefficient};
  const int32_t count = std::min(layout.block_frames - 2, 4);
  int64_t sum = 0;
  for (int32_t f = 2; f < 2 + count; ++f) {
    const int32_t sample = PaddedSample(layout, in, frames, f, ch);
    sum += std::abs(sample - MsPredict(c));
    c.sample2 = c.sample1;
    c.sample1 = sample;
  }
  const int64_t delta = count > 0 ? sum / count / 2 : 0;
  return static_cast<int32_t>(std::clamp<int64_t>(delta, kMsMinDelta, 32767));
}

// Each channel takes the predictor that encodes the block best.
void EncodeMs(const BlockLayout& layout, const uint8_t* in, int32_t frames, uint8_t* out) {
  const int32_t channels = layout.channels;
  std::fill(out, out + layout.block_bytes, uint8_t{0});
  for (int32_t ch = 0; ch < channels; ++ch) {
    const MsChannel start{PaddedSample(layout, in, frames, 1, ch),
                          PaddedSample(layout, in, frames, 0, ch), 0, nullptr};
    int32_t best = 0;
    int32_t best_delta = 0;
    int64_t best_error = std::numeric_limits<int64_t>::max();
    for (int32_t p = 0; p < layout.coefficient_count; ++p) {
      MsChannel c = start;
      c.coefficient = layout.coefficients[p];
      c.delta = MsFirstDelta(layout, in, frames, ch, c.coefficient);
      const int64_t error = EncodeMsChannel(layout, in, frames, ch, c, nullptr);
      if (error < best_error) {
        best = p;
        best_delta = c.delta;
        best_error = error;
      }
    }
    out[ch] = static_cast<uint8_t>(best);
    StoreSample(out + channels + 2 * ch, best_delta);
    StoreSample(out + 3 * channels + 2 * ch, start.sample1);
    StoreSample(out + 5 * channels + 2 * ch, start.sample2);
    MsChannel c = start;
    c.coefficient = layout.coefficients[best];
    c.delta = best_delta;
    EncodeMsChannel(layout, in, frames, ch, c, out);
  }
}

// --- G.711 ----------------------------------------------------------------
// Both laws keep a sign, a 3-bit segment (a power of two) and a 4-bit
// position inside it; mu-law on a 14-bit magnitude offset by 33, A-law on a
// 13-bit one, with alternate bits inverted.

constexpr int32_t kMulawBias = 0x84;  // 33, at 16-bit scale
constexpr int32_t kMulawClip = 32635;

uint8_t MulawEncode(int32_t sample) {
  const int32_t sign = sample < 0 ? 0x80 : 0x00;
  const int32_t magnitude = std::min(std::abs(sample), kMulawClip) + kMulawBias;
  int32_t segment = 7;
  while (segment > 0 && !(magnitude & (0x80 << segment))) --segment;
  const int32_t position = (magnitude >> (segment + 3)) & 0x0F;
  return static_cast<uint8_t>(~(sign | segment << 4 | position));
}

int32_t MulawDecode(uint8_t code) {
  const int32_t bits = ~code & 0xFF;
  const int32_t segment = (bits >> 4) & 7;
  const int32_t magnitude = ((((bits & 0x0F) << 3) + kMulawBias) << segment) - kMulawBias;
  return bits & 0x80 ? -magnitude : magnitude;
}

constexpr uint8_t kAlawInvert = 0x55;

uint8_t AlawEncode(int32_t sample) {
  // 13 bits; negative values by their complement, so -1 maps like 0.
  const int32_t value = sample >> 3;
  const int32_t sign = value >= 0 ? 0x80 : 0x00;
  const int32_t magnitude = value >= 0 ? value : -value - 1;
  int32_t segment = 0;
  while (segment < 7 && magnitude >= (32 << segment)) ++segment;
  const int32_t position = (magnitude >> (segment == 0 ? 1 : segment)) & 0x0F;
  return static_cast<uint8_t>((sign | segment << 4 | position) ^ kAlawInvert);
}

int32_t AlawDecode(uint8_t code) {
  const int32_t bits = code ^ kAlawInvert;
  const int32_t segment = (bits >> 4) & 7;
  const int32_t position = bits & 0x0F;
  // The middle of the interval the code stands for.
  const int32_t magnitude =
      segment == 0 ? (position << 1) + 1 : ((position << 1) + 33) << (segment - 1);
  return bits & 0x80 ? magnitude << 3 : -(magnitude << 3);
}

}  // namespace

bool ReadLayout(const PcmFormat& format, BlockLayout* layout) {
  const int32_t channels = format.channels;
  *layout =
      BlockLayout{format.format_tag, channels, format.block_align, 1, 0, 0, channels, 1, 0, {}};
  switch (format.format_tag) {
    case kFormatMulaw:
    case kFormatAlaw:
      return channels >= 1 && format.block_align == channels;
    case kFormatImaAdpcm:
      layout->header_bytes = 4 * channels;
      layout->header_frames = 1;
      layout->group_bytes = 4 * channels;
      layout->group_frames = 8;
      if (format.bits_per_sample != 4 || format.extra_size < 2) return false;
      break;
    case kFormatMsAdpcm: {
      // A byte holds two codes: two frames of mono, one of stereo.
      layout->header_bytes = 7 * channels;
      layout->header_frames = 2;
      layout->group_bytes = 1;
      layout->group_frames = channels == 1 ? 2 : 1;
      if (format.bits_per_sample != 4 || format.extra_size < 4) return false;
      const int32_t count = ExtraWord(format, 1);
      if (count < 1 || count > kMaxCoefficients || format.extra_size < 4 + 4 * count) return false;
      layout->coefficient_count = count;
      for (int32_t i = 0; i < count; ++i) {
        layout->coefficients[i][0] = static_cast<int16_t>(ExtraWord(format, 2 + 2 * i));
        layout->coefficients[i][1] = static_cast<int16_t>(ExtraWord(format, 3 + 2 * i));
      }
      break;
    }
    default:
      return false;
  }
  if (channels < 1 || channels > 2 || layout->block_bytes <= layout->header_bytes ||
      (layout->block_bytes - layout->header_bytes) % layout->group_bytes != 0) {
    return false;
  }
  layout->block_frames = FramesIn(*layout, layout->block_bytes);
  return ExtraWord(format, 0) == layout->block_frames;
}

int32_t FramesIn(const BlockLayout& layout, int32_t bytes) {
  if (bytes < layout.header_bytes) return 0;
  return layout.header_frames +
         (bytes - layout.header_bytes) / layout.group_bytes * layout.group_frames;
}

int32_t BytesOfFrames(const BlockLayout& layout, int32_t frames) {
  if (frames <= 0) return 0;
  return layout.header_bytes +
         (frames - layout.header_frames) / layout.group_frames * layout.group_bytes;
}

bool DecodeBlock(const BlockLayout& layout, const uint8_t* in, int32_t bytes, uint8_t* out) {
  const int32_t frames = FramesIn(layout, bytes);
  if (frames == 0) return true;
  switch (layout.tag) {
    case kFormatImaAdpcm:
      return DecodeIma(layout, in, frames, out);
    case kFormatMsAdpcm:
      return DecodeMs(layout, in, frames, out);
    case kFormatMulaw:
      for (int32_t i = 0; i < frames * layout.channels; ++i)
        StoreSample(out + 2 * i, MulawDecode(in[i]));
      return true;
    default:
      for (int32_t i = 0; i < frames * layout.channels; ++i)
        StoreSample(out + 2 * i, AlawDecode(in[i]));
      return true;
  }
}

void EncodeBlock(const BlockLayout& layout, EncoderState* state, const uint8_t* in, int32_t frames,
                 uint8_t* out) {
  switch (layout.tag) {
    case kFormatImaAdpcm:
      EncodeIma(layout, state, in, frames, out);
      return;
    case kFormatMsAdpcm:
      EncodeMs(layout, in, frames, out);
      return;
    case kFormatMulaw:
      for (int32_t i = 0; i < layout.channels; ++i) out[i] = MulawEncode(LoadSample(in + 2 * i));
      return;
    default:
      for (int32_t i = 0; i < layout.channels; ++i) out[i] = AlawEncode(LoadSample(in + 2 * i));
      return;
  }
}

}  // namespace kowaki::codecs
