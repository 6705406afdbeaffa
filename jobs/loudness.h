#pragma once
// Loudness per EBU R128 (libebur128; the true peak by TruePeakMeter): an
// entry's integrated loudness and true peak, measured on its 16-bit PCM as
// a job writes it, and the gain that brings it to a target loudness
// without its true peak passing a ceiling. The gain is applied by the
// decoder before its rounding to 16 bits (EntryDecoder::SetGain), so a
// normalised file is rounded once.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "archive/archive_index.h"
#include "common/result.h"
#include "convert/pcm_format.h"
#include "jobs/entry_problem.h"

namespace kowaki {

// A meter's state, kept for measuring several entries as one.
struct LoudnessMeter;
struct LoudnessMeterDeleter {
  void operator()(LoudnessMeter* meter) const;
};
using LoudnessMeterPtr = std::unique_ptr<LoudnessMeter, LoudnessMeterDeleter>;

// What a measure found; -infinity (as libebur128 gives it) for silence.
struct Loudness {
  double integrated = 0;  // LUFS
  double true_peak = 0;   // dBTP: of the PCM as written
  double peak = 0;        // dBFS: of the decoded audio before the rate and channel conversion
};

struct LoudnessTarget {
  double integrated = -23;  // LUFS
  double true_peak = -1;    // dBTP, the ceiling
};

struct LoudnessGain {
  double gain = 0;       // dB; 0 for silence, which has no loudness to bring anywhere
  bool limited = false;  // the ceiling kept it below what the target asked
};

// The gain that brings `measured` to the target loudness, lowered so that
// neither its true peak passes the ceiling nor its decoded audio full scale
// (the decoder would clip there), with 0.05 dB to spare.
LoudnessGain GainFor(const Loudness& measured, const LoudnessTarget& target);

// An entry measured: its loudness and the meter that measured it.
struct MeasuredEntry {
  Loudness loudness;
  LoudnessMeterPtr meter;
};

// The format an entry of `source` format is written in.
using FormatFor = std::function<PcmFormat(const PcmFormat& source)>;

// Decodes entry `entry` and converts it as a job writes it (to the format
// `format_for` gives); why not when it cannot.
Result<MeasuredEntry, EntryProblem> MeasureEntry(const ArchiveIndex* index, int32_t entry,
                                                 const FormatFor& format_for);

// Entries measured as one: the loudness of all their audio together (the
// gating of EBU R128 over all their blocks), the highest peaks. Entries
// without a meter (those that failed) are left out.
Loudness CombinedLoudness(std::span<const MeasuredEntry> entries);

// Linear factor of `db` decibels.
float GainFactor(double db);

}  // namespace kowaki
