#include "jobs/loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "convert/pcm_converter.h"
#include "convert/true_peak.h"
#include "jobs/entry_decoder.h"

namespace kowaki {

struct LoudnessMeter {
  ebur128_state* state = nullptr;
  ~LoudnessMeter() {
    if (state) ebur128_destroy(&state);
  }
};

namespace {

constexpr double kSilence = -std::numeric_limits<double>::infinity();
constexpr double kPeakMargin = 0.05;  // dB

double Decibels(double linear) { return linear > 0 ? 20 * std::log10(linear) : kSilence; }

// What each channel of Vorbis's order is, for 3 to 8 channels, as the meter
// weighs it: libebur128 takes another order by default (L R C LFE Ls Rs),
// which would count Vorbis's LFE as a surround and leave out its left
// surround. Side surrounds weigh as surrounds, rear ones as the front.
void SetVorbisRoles(ebur128_state* meter, unsigned channels) {
  static constexpr int kRoles[6][8] = {
      {EBUR128_LEFT, EBUR128_CENTER, EBUR128_RIGHT},
      {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND},
      {EBUR128_LEFT, EBUR128_CENTER, EBUR128_RIGHT, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND},
      {EBUR128_LEFT, EBUR128_CENTER, EBUR128_RIGHT, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND,
       EBUR128_UNUSED},
      {EBUR128_LEFT, EBUR128_CENTER, EBUR128_RIGHT, EBUR128_Mp090, EBUR128_Mm090, EBUR128_Mp180,
       EBUR128_UNUSED},
      {EBUR128_LEFT, EBUR128_CENTER, EBUR128_RIGHT, EBUR128_Mp090, EBUR128_Mm090, EBUR128_Mp135,
       EBUR128_Mm135, EBUR128_UNUSED},
  };
  if (channels < 3 || channels > 8) return;
  for (unsigned channel = 0; channel < channels; ++channel) {
    ebur128_set_channel(meter, channel, kRoles[channels - 3][channel]);
  }
}

// The loudness by libebur128; the true peak by our own meter, the same
// measure several times faster.
struct Meters {
  ebur128_state* loudness;
  TruePeakMeter true_peak;
};

// Feeds what the converter holds to the meters.
bool Feed(PcmConverter& converter, Meters& meters, uint16_t channels) {
  const Result<PcmSpan, PcmError> taken = converter.get();
  if (!taken) return false;
  const size_t frames = static_cast<size_t>(taken->length) / (2u * channels);
  if (frames == 0) return true;
  // 16-bit PCM, aligned as the converter's buffers are.
  const auto* samples = reinterpret_cast<const int16_t*>(taken->data);
  meters.true_peak.Add(samples, frames);
  return ebur128_add_frames_short(meters.loudness, samples, frames) == EBUR128_SUCCESS;
}

// Decodes, converts and measures to the end, as Maker::Convert writes.
Result<void, EntryProblem> Measure(EntryDecoder& decoder, PcmConverter& converter,
                                   const PcmFormat& target, Meters& meters) {
  std::array<uint8_t, 8192> buffer;
  for (;;) {
    const EntryDecoder::Block block = decoder.Read(buffer);
    if (block.read_failed) return EntryProblem::kReadFailed;
    if (block.length == 0) break;
    if (block.format_changed &&
        !(converter.flush() && Feed(converter, meters, target.channels) &&
          converter.setup(decoder.format(), target, ChannelOrder::kVorbis))) {
      return EntryProblem::kCannotConvert;
    }
    if (!converter.put({buffer.data(), static_cast<int32_t>(block.length)}) ||
        !Feed(converter, meters, target.channels)) {
      return EntryProblem::kCannotConvert;
    }
  }
  if (!converter.flush() || !Feed(converter, meters, target.channels)) {
    return EntryProblem::kCannotConvert;
  }
  return {};
}

}  // namespace

void LoudnessMeterDeleter::operator()(LoudnessMeter* meter) const { delete meter; }

float GainFactor(double db) { return static_cast<float>(std::pow(10.0, db / 20)); }

LoudnessGain GainFor(const Loudness& measured, const LoudnessTarget& target) {
  if (!std::isfinite(measured.integrated)) return {};
  const double wanted = target.integrated - measured.integrated;
  // -infinity peaks (digital silence between sounds) set no bound. The
  // margin covers the rounding to 16 bits after the gain, and what another
  // meter's oversampling may find above ours.
  const double room = std::min(target.true_peak - measured.true_peak, -measured.peak) - kPeakMargin;
  if (wanted <= room) return {wanted, false};
  return {room, true};
}

Result<MeasuredEntry, EntryProblem> MeasureEntry(const ArchiveIndex* index, int32_t entry,
                                                 const FormatFor& format_for) {
  EntryDecoder decoder(index, entry);
  if (!decoder.is_open()) return decoder.problem();
  if (decoder.cut_short()) return EntryProblem::kCutShort;
  decoder.TrackPeak();
  const PcmFormat target = format_for(decoder.format());
  PcmConverterPtr converter = PcmConverter::create();
  if (!converter || !converter->setup(decoder.format(), target, ChannelOrder::kVorbis)) {
    return EntryProblem::kCannotConvert;
  }
  MeasuredEntry measured;
  measured.meter.reset(new LoudnessMeter);
  ebur128_state*& state = measured.meter->state;
  state = ebur128_init(target.channels, target.samples_per_sec, EBUR128_MODE_I);
  if (!state) return EntryProblem::kCannotConvert;
  SetVorbisRoles(state, target.channels);
  Meters meters{state, TruePeakMeter(static_cast<int32_t>(target.samples_per_sec),
                                     static_cast<int32_t>(target.channels))};
  if (const auto done = Measure(decoder, *converter, target, meters); !done) {
    return done.failure();
  }
  double integrated = kSilence;
  ebur128_loudness_global(state, &integrated);
  measured.loudness = {.integrated = integrated,
                       .true_peak = Decibels(meters.true_peak.peak()),
                       .peak = Decibels(decoder.peak())};
  return measured;
}

Loudness CombinedLoudness(std::span<const MeasuredEntry> entries) {
  std::vector<ebur128_state*> meters;
  Loudness combined{kSilence, kSilence, kSilence};
  for (const MeasuredEntry& entry : entries) {
    if (!entry.meter) continue;
    meters.push_back(entry.meter->state);
    combined.true_peak = std::max(combined.true_peak, entry.loudness.true_peak);
    combined.peak = std::max(combined.peak, entry.loudness.peak);
  }
  if (!meters.empty()) {
    ebur128_loudness_global_multiple(meters.data(), meters.size(), &combined.integrated);
  }
  return combined;
}

}  // namespace kowaki
