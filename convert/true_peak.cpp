#include "convert/true_peak.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "convert/simd.h"

namespace kowaki {

namespace {

constexpr int32_t kTaps = 49;
constexpr double kNegligible = 0.000001;  // weights left out, as libebur128 leaves them
constexpr float kFullScale = 32768;
constexpr size_t kBlock = 1024;  // frames per pass

int32_t Oversampling(int32_t rate) { return rate < 96000 ? 4 : rate < 192000 ? 2 : 1; }

// The highest magnitude, above `highest`, of what `taps` make of the
// `count` samples at `line` (and of the history before them). The taps
// are summed in one order however many outputs are made at once.
float PhasePeak(const float* line, size_t count, const std::vector<TruePeakMeter::Tap>& taps,
                float highest) {
  size_t i = 0;
#ifdef KOWAKI_SSE2
  // Sixteen outputs a step, in four sums that do not wait on each other.
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  __m128 lanes = _mm_set1_ps(highest);
  for (; i + 16 <= count; i += 16) {
    __m128 sum0 = _mm_setzero_ps(), sum1 = sum0, sum2 = sum0, sum3 = sum0;
    for (const TruePeakMeter::Tap& tap : taps) {
      const __m128 weight = _mm_set1_ps(tap.weight);
      const float* from = (line + i) - tap.delay;
      sum0 = _mm_add_ps(sum0, _mm_mul_ps(weight, _mm_loadu_ps(from)));
      sum1 = _mm_add_ps(sum1, _mm_mul_ps(weight, _mm_loadu_ps(from + 4)));
      sum2 = _mm_add_ps(sum2, _mm_mul_ps(weight, _mm_loadu_ps(from + 8)));
      sum3 = _mm_add_ps(sum3, _mm_mul_ps(weight, _mm_loadu_ps(from + 12)));
    }
    lanes = _mm_max_ps(_mm_max_ps(lanes, _mm_and_ps(sum0, magnitude)),
                       _mm_max_ps(_mm_and_ps(sum1, magnitude), _mm_and_ps(sum2, magnitude)));
    lanes = _mm_max_ps(lanes, _mm_and_ps(sum3, magnitude));
  }
  float each[4];
  _mm_storeu_ps(each, lanes);
  highest = std::max({each[0], each[1], each[2], each[3]});
#endif
  for (; i < count; ++i) {
    float sum = 0;
    for (const TruePeakMeter::Tap& tap : taps) sum += tap.weight * (line + i)[-tap.delay];
    highest = std::max(highest, std::fabs(sum));
  }
  return highest;
}

}  // namespace

TruePeakMeter::TruePeakMeter(int32_t rate, int32_t channels) : channels_(channels) {
  // The samples themselves, then the phases a Hann-windowed sinc makes
  // between them, its taps dealt out to each.
  phases_.push_back({{0, 1.0f}});
  const int32_t factor = Oversampling(rate);
  if (factor > 1) {
    phases_.resize(1 + static_cast<size_t>(factor));
    for (int32_t j = 0; j < kTaps; ++j) {
      const double x = (j - (kTaps - 1) / 2.0) * std::numbers::pi / factor;
      double weight = std::fabs(x) > kNegligible ? std::sin(x) / x : 1;
      weight *= 0.5 * (1 - std::cos(2 * std::numbers::pi * j / (kTaps - 1)));
      if (std::fabs(weight) <= kNegligible) continue;
      phases_[1 + static_cast<size_t>(j % factor)].push_back(
          {j / factor, static_cast<float>(weight)});
      reach_ = std::max(reach_, j / factor);
    }
  }
  history_.assign(static_cast<size_t>(reach_) * static_cast<size_t>(channels), 0.0f);
  line_.resize(static_cast<size_t>(reach_) + kBlock);
}

void TruePeakMeter::Add(const int16_t* frames, size_t count) {
  for (size_t done = 0; done < count; done += kBlock) {
    const size_t now = std::min(kBlock, count - done);
    for (int32_t channel = 0; channel < channels_; ++channel) {
      AddChannel(frames + done * static_cast<size_t>(channels_), now, channel);
    }
  }
}

// The block follows the channel's history in `line_`.
void TruePeakMeter::AddChannel(const int16_t* frames, size_t count, int32_t channel) {
  const auto reach = static_cast<size_t>(reach_);
  float* history = history_.data() + static_cast<size_t>(channel) * reach;
  std::copy(history, history + reach, line_.begin());
  float* block = line_.data() + reach;
  for (size_t i = 0; i < count; ++i) {
    block[i] =
        frames[i * static_cast<size_t>(channels_) + static_cast<size_t>(channel)] / kFullScale;
  }
  for (const std::vector<Tap>& taps : phases_) peak_ = PhasePeak(block, count, taps, peak_);
  std::copy(block + count - reach, block + count, history);
}

}  // namespace kowaki
