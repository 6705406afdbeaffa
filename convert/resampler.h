#pragma once
// Sample-rate conversion of interleaved 16-bit PCM by a polyphase FIR
// filter over an unwindowed sinc kernel, coefficients in Q14.
//
// With g the greatest common divisor of the two rates, a period is
// M = source / g input frames and L = target / g output frames; output
// frame p * L + i is computed by row (phase) i from input frames
// p * M + tap_start(i) onwards. The stream is extended to the left with
// copies of its first frame and, at flush, to the right with copies of its
// last one. A trailing partial frame of a span is dropped.

#include <cstdint>
#include <memory>
#include <span>

#include "convert/byte_buffer.h"

namespace kowaki {

class Resampler;
using ResamplerPtr = std::unique_ptr<Resampler, PcmStageDeleter>;

// Both return null when a rate is not above 0, the rates do not go the
// constructor's way (up: source below target; down: source above target),
// channels is below 1, or the tables would not fit in memory.
// The upsampler's kernel is measured in input frames, 37 taps; the
// downsampler's in output frames, about 36 * M / L taps.
ResamplerPtr new_upsampler(int32_t source_rate, int32_t target_rate, int32_t channels);
ResamplerPtr new_downsampler(int32_t source_rate, int32_t target_rate, int32_t channels);

class Resampler final : public BufferedStage {
 public:
  PcmResult put(PcmSpan in) override;
  PcmResult flush() override;

  int32_t period_in() const { return period_in_; }
  int32_t phases() const { return phases_; }
  int32_t taps() const { return taps_; }
  // Input frame of a row's first tap, relative to its period's first frame.
  int32_t tap_start(int32_t phase) const { return tap_start_[phase]; }
  std::span<const int16_t> tap_coef(int32_t phase) const {
    return {tap_coef_.get() + int64_t{phase} * stride_, static_cast<size_t>(taps_)};
  }

 private:
  friend struct ResamplerLoop;
  friend ResamplerPtr new_upsampler(int32_t, int32_t, int32_t);
  friend ResamplerPtr new_downsampler(int32_t, int32_t, int32_t);

  enum class Kind { kUp, kDown };
  static ResamplerPtr Create(Kind kind, int32_t source_rate, int32_t target_rate, int32_t channels);
  Resampler() : BufferedStage(ByteBuffer::Growth::kDouble) {}
  bool Build(Kind kind, int32_t source_rate, int32_t target_rate, int32_t channels);
  bool MakeHistory(int32_t source_rate, int32_t target_rate);
  bool MakeCoefficients(bool up);
  int16_t* plane(int32_t channel) { return history_.get() + int64_t{channel} * plane_size_; }
  void Prime(const uint8_t* frame);
  void Append(const uint8_t* frames, int32_t count);
  void Compact();
  bool Emit();
  bool Run(int32_t reach, bool compact);

  int32_t channels_ = 0;
  int32_t period_in_ = 0;  // M
  int32_t phases_ = 0;     // L
  int32_t taps_ = 0;
  int32_t stride_ = 0;                                    // taps rounded up to whole vector steps
  bool (*produce_)(Resampler&, int32_t reach) = nullptr;  // the output loop
  std::unique_ptr<int32_t[]> tap_start_;
  std::unique_ptr<int16_t[]> tap_coef_;  // phases rows of stride, zero padded

  // Input frames kept for the filter, one plane per channel.
  std::unique_ptr<int16_t[]> history_;
  int64_t plane_size_ = 0;
  int32_t history_capacity_ = 0;
  int32_t fill_ = 0;   // frames held
  int32_t base_ = 0;   // history frame of the current period's first input; 0 = not primed
  int32_t phase_ = 0;  // row of the next output frame

  // Output frames of the current pass, interleaved.
  std::unique_ptr<int16_t[]> staging_;
  int32_t staging_capacity_ = 0;
  int32_t staged_ = 0;
  bool flushed_ = false;
};

}  // namespace kowaki
