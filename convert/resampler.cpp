#include "convert/resampler.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <numbers>
#include <numeric>

#include "convert/samples.h"
#include "convert/simd.h"

// KOWAKI_SSE2_ONLY leaves the AVX2 loop out, so that a benchmark sees what
// a processor without it gets.
#if defined(KOWAKI_SSE2) && defined(__GNUC__) && !defined(KOWAKI_SSE2_ONLY)
#include <immintrin.h>
#define KOWAKI_AVX2 1
#endif
#ifdef __GNUC__
#define KOWAKI_ALWAYS_INLINE __attribute__((always_inline)) inline
#else
#define KOWAKI_ALWAYS_INLINE inline
#endif

namespace kowaki {

namespace {

constexpr int32_t kUpsamplerTaps = 37;
// The kernel reaches this far either side of an output frame: in input
// frames for the upsampler, in output frames for the downsampler, so that
// it cuts off at the Nyquist frequency of the lower rate.
constexpr int32_t kKernelHalfWidth = 18;
// Byte runs and the history then share their sample layout.
constexpr bool kLittleEndian = std::endian::native == std::endian::little;
constexpr int32_t kTailExtra = 8;  // copies flush writes beyond phase 0's newest tap
// Tables, history and staging together; beyond this a rate pair is refused.
constexpr int64_t kMaxWorkBytes = int64_t{256} << 20;

// sin(pi x) / (pi x), cut off at the half-width.
double Kernel(double x) {
  if (std::fabs(x) < std::numeric_limits<double>::epsilon()) return 1.0;
  if (std::fabs(x) >= kKernelHalfWidth) return 0.0;
  const double y = x * std::numbers::pi;
  return std::sin(y) / y;
}

// The upsampler's kernel spans its taps; the downsampler's, measured in
// output frames, spans twice the half-width times M / L input frames,
// rounded, and one more.
int64_t TapCount(bool up, int32_t L, int32_t M) {
  return up ? kUpsamplerTaps : 2 * ((L / 2 + int64_t{kKernelHalfWidth} * M) / L) + 1;
}

// Row i's first tap, relative to its period's first input frame: the
// nearest frame a half-width before output frame i.
int32_t TapStart(bool up, int32_t i, int32_t L, int32_t M) {
  const double start = up ? std::floor((i + 0.5) * M / L - kKernelHalfWidth + 0.5)
                          : std::floor((i - kKernelHalfWidth + 0.5) * M / L + 0.5);
  return static_cast<int32_t>(start);
}

// The kernel at each of the `taps` taps of row i, which begins on input
// frame `start`; returns their sum. Frames sit at their centres.
double KernelRow(bool up, int32_t i, int32_t start, int32_t L, int32_t M, int32_t taps,
                 double* weights) {
  double sum = 0.0;
  if (up) {
    // In input frames: the output frame sits at t within its period. The
    // position is stepped by 1.0, not recomputed; the tables depend on
    // that rounding.
    const double t = (i + 0.5) * M / L;
    double x = start + 0.5 - t;
    for (int32_t j = 0; j < taps; ++j) {
      weights[j] = Kernel(x);
      sum += weights[j];
      x += 1.0;
    }
  } else {
    // In output frames.
    for (int32_t j = 0; j < taps; ++j) {
      const double x = (start + j + 0.5) * L / M - (i + 0.5);
      weights[j] = Kernel(x);
      sum += weights[j];
    }
  }
  return sum;
}

// A row's weights divided by their sum, in Q14, so each phase passes a
// constant signal unchanged; false when one does not fit the 16 bits the
// filter loop takes.
bool Quantise(const double* weights, double sum, int32_t taps, int16_t* row) {
  for (int32_t j = 0; j < taps; ++j) {
    const double q = std::floor(weights[j] / sum * 16384 + 0.5);
    if (!(q >= -32768.0 && q <= 32767.0)) return false;
    row[j] = static_cast<int16_t>(q);
  }
  return true;
}

// One output sample: the sum of x[j] * c[j] over a padded row, wrapping
// around in 32 bits (so the order of the additions does not matter), then
// rounded from Q14 and clamped to 16 bits.
#ifdef KOWAKI_SSE2
// Rounds the sum in lane 0; the saturating pack clamps exactly as wanted.
inline int16_t Round(__m128i sum) {
  const __m128i v = _mm_srai_epi32(_mm_add_epi32(sum, _mm_cvtsi32_si128(8192)), 14);
  return static_cast<int16_t>(_mm_cvtsi128_si32(_mm_packs_epi32(v, v)));
}

inline int16_t FilterSse2(const int16_t* x, const int16_t* c, int32_t n) {
  __m128i sum = _mm_setzero_si128();
  for (int32_t j = 0; j < n; j += 8) {
    sum = _mm_add_epi32(sum,
                        _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + j)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + j))));
  }
  sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
  return Round(_mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1)));
}

// Two sums' lanes added up together: lanes 0 and 1 of the result.
inline __m128i AddAcross(__m128i a, __m128i b) {
  const __m128i sums = _mm_add_epi32(_mm_unpacklo_epi32(a, b), _mm_unpackhi_epi32(a, b));
  return _mm_add_epi32(sums, _mm_shuffle_epi32(sums, 0x4E));
}

// Rounds lanes 0 and 1 into `y0` and `y1`.
inline void RoundTwo(__m128i sums, int16_t* y0, int16_t* y1) {
  const __m128i v = _mm_srai_epi32(_mm_add_epi32(sums, _mm_set1_epi32(8192)), 14);
  const auto both = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packs_epi32(v, v)));
  *y0 = static_cast<int16_t>(both & 0xFFFF);
  *y1 = static_cast<int16_t>(both >> 16);
}

// Two output samples at once: two chains of additions in flight, and one
// reduction for both.
inline void FilterTwoSse2(const int16_t* x0, const int16_t* c0, const int16_t* x1,
                          const int16_t* c1, int32_t n, int16_t* y0, int16_t* y1) {
  __m128i sum0 = _mm_setzero_si128();
  __m128i sum1 = _mm_setzero_si128();
  for (int32_t j = 0; j < n; j += 8) {
    sum0 = _mm_add_epi32(sum0,
                         _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x0 + j)),
                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(c0 + j))));
    sum1 = _mm_add_epi32(sum1,
                         _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x1 + j)),
                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(c1 + j))));
  }
  RoundTwo(AddAcross(sum0, sum1), y0, y1);
}
#else
inline int16_t FilterPortable(const int16_t* x, const int16_t* c, int32_t n) {
  uint32_t sum = 0;
  for (int32_t j = 0; j < n; ++j) sum += static_cast<uint32_t>(x[j] * c[j]);
  const int32_t v = static_cast<int32_t>(sum + 8192u) >> 14;
  return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

inline void FilterTwoPortable(const int16_t* x0, const int16_t* c0, const int16_t* x1,
                              const int16_t* c1, int32_t n, int16_t* y0, int16_t* y1) {
  *y0 = FilterPortable(x0, c0, n);
  *y1 = FilterPortable(x1, c1, n);
}
#endif

#ifdef KOWAKI_AVX2
__attribute__((target("avx2"))) inline int16_t FilterAvx2(const int16_t* x, const int16_t* c,
                                                          int32_t n) {
  __m256i sum = _mm256_setzero_si256();
  for (int32_t j = 0; j < n; j += 16) {
    sum = _mm256_add_epi32(
        sum, _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + j)),
                               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + j))));
  }
  __m128i half = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
  half = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0x4E));
  return Round(_mm_add_epi32(half, _mm_shuffle_epi32(half, 0xB1)));
}

__attribute__((target("avx2"))) inline __m128i Halves(__m256i sum) {
  return _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
}

__attribute__((target("avx2"))) inline void FilterTwoAvx2(const int16_t* x0, const int16_t* c0,
                                                          const int16_t* x1, const int16_t* c1,
                                                          int32_t n, int16_t* y0, int16_t* y1) {
  __m256i sum0 = _mm256_setzero_si256();
  __m256i sum1 = _mm256_setzero_si256();
  for (int32_t j = 0; j < n; j += 16) {
    sum0 = _mm256_add_epi32(
        sum0, _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(x0 + j)),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c0 + j))));
    sum1 = _mm256_add_epi32(
        sum1, _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(x1 + j)),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c1 + j))));
  }
  RoundTwo(AddAcross(Halves(sum0), Halves(sum1)), y0, y1);
}
#endif

}  // namespace

using FilterOne = int16_t (*)(const int16_t*, const int16_t*, int32_t);
using FilterTwo = void (*)(const int16_t*, const int16_t*, const int16_t*, const int16_t*, int32_t,
                           int16_t*, int16_t*);

// The output loop, compiled once per filter kernel so that the kernel is
// inlined into it. Where two output frames are due it computes them
// together, which is worth a fifth of the time.
struct ResamplerLoop {
  // Computes output frames while tap `reach` of the next one is held. True
  // when it stopped on a full staging with such frames still due.
  template <FilterOne Filter, FilterTwo Filter2>
  KOWAKI_ALWAYS_INLINE static bool Produce(Resampler& r, int32_t reach) {
    // Locals: the loop stores samples, which would make the compiler reload
    // every member after each store.
    const int32_t* starts = r.tap_start_.get();
    const int16_t* coefs = r.tap_coef_.get();
    const int16_t* history = r.history_.get();
    const int32_t channels = r.channels_;
    const int32_t stride = r.stride_;
    const int64_t plane_size = r.plane_size_;
    const int32_t fill = r.fill_;
    const int32_t capacity = r.staging_capacity_;
    int16_t* out = r.staging_.get() + int64_t{r.staged_} * channels;
    int32_t staged = r.staged_;
    int32_t phase = r.phase_;
    int32_t base = r.base_;
    const auto advance = [&r](int32_t* p, int32_t* b) {
      if (++*p == r.phases_) {
        *p = 0;
        *b += r.period_in_;
      }
    };
    while (base + starts[phase] + reach < fill && staged < capacity) {
      const int16_t* row = coefs + int64_t{phase} * stride;
      const int16_t* taps = history + base + starts[phase];
      int32_t next_phase = phase, next_base = base;
      advance(&next_phase, &next_base);
      if (staged + 1 < capacity && next_base + starts[next_phase] + reach < fill) {
        const int16_t* next_row = coefs + int64_t{next_phase} * stride;
        const int16_t* next_taps = history + next_base + starts[next_phase];
        for (int32_t ch = 0; ch < channels; ++ch, taps += plane_size, next_taps += plane_size) {
          Filter2(taps, row, next_taps, next_row, stride, out + ch, out + channels + ch);
        }
        out += 2 * channels;
        staged += 2;
        advance(&next_phase, &next_base);
      } else {
        for (int32_t ch = 0; ch < channels; ++ch, taps += plane_size) {
          *out++ = Filter(taps, row, stride);
        }
        ++staged;
      }
      phase = next_phase;
      base = next_base;
    }
    r.staged_ = staged;
    r.phase_ = phase;
    r.base_ = base;
    return staged == capacity && base + starts[phase] + reach < fill;
  }
};

namespace {

#ifdef KOWAKI_SSE2
bool ProduceSse2(Resampler& r, int32_t reach) {
  return ResamplerLoop::Produce<FilterSse2, FilterTwoSse2>(r, reach);
}
#else
bool ProducePortable(Resampler& r, int32_t reach) {
  return ResamplerLoop::Produce<FilterPortable, FilterTwoPortable>(r, reach);
}
#endif
#ifdef KOWAKI_AVX2
__attribute__((target("avx2"))) bool ProduceAvx2(Resampler& r, int32_t reach) {
  return ResamplerLoop::Produce<FilterAvx2, FilterTwoAvx2>(r, reach);
}
#endif

struct FilterLoop {
  bool (*produce)(Resampler&, int32_t);
  int32_t lanes;  // rows are padded to a multiple of this
};

// The widest loop this processor runs.
FilterLoop PickFilterLoop() {
#ifdef KOWAKI_AVX2
  if (__builtin_cpu_supports("avx2")) return {ProduceAvx2, 16};
#endif
#ifdef KOWAKI_SSE2
  return {ProduceSse2, 8};
#else
  return {ProducePortable, 1};
#endif
}

}  // namespace

ResamplerPtr Resampler::Create(Kind kind, int32_t source_rate, int32_t target_rate,
                               int32_t channels) {
  ResamplerPtr stage(new (std::nothrow) Resampler);
  if (stage &&
      !(stage->out_.Allocate() && stage->Build(kind, source_rate, target_rate, channels))) {
    stage.reset();
  }
  return stage;
}

ResamplerPtr new_upsampler(int32_t source_rate, int32_t target_rate, int32_t channels) {
  return Resampler::Create(Resampler::Kind::kUp, source_rate, target_rate, channels);
}

ResamplerPtr new_downsampler(int32_t source_rate, int32_t target_rate, int32_t channels) {
  return Resampler::Create(Resampler::Kind::kDown, source_rate, target_rate, channels);
}

bool Resampler::Build(Kind kind, int32_t source_rate, int32_t target_rate, int32_t channels) {
  const bool up = kind == Kind::kUp;
  if (source_rate <= 0 || target_rate <= 0 || channels < 1) return false;
  // Priming needs row 0 to reach back before the first frame, which only
  // holds in the constructor's own direction.
  if (up ? source_rate >= target_rate : source_rate <= target_rate) return false;

  const int32_t g = std::gcd(source_rate, target_rate);
  const int32_t L = target_rate / g;
  const int32_t M = source_rate / g;
  const int64_t taps = TapCount(up, L, M);
  const FilterLoop filter = PickFilterLoop();
  const int64_t stride = (taps + filter.lanes - 1) / filter.lanes * filter.lanes;
  // Cheap bound first: the tables and one period of history.
  if (int64_t{L} * stride * 2 + int64_t{M} * channels * 2 > kMaxWorkBytes) return false;

  channels_ = channels;
  period_in_ = M;
  phases_ = L;
  taps_ = static_cast<int32_t>(taps);
  stride_ = static_cast<int32_t>(stride);
  produce_ = filter.produce;
  tap_start_.reset(new (std::nothrow) int32_t[L]);
  if (!tap_start_) return false;
  for (int32_t i = 0; i < L; ++i) tap_start_[i] = TapStart(up, i, L, M);
  return MakeHistory(source_rate, target_rate) && MakeCoefficients(up);
}

// The history must hold every frame from phase 0's oldest tap of a period
// to the last phase's newest one, and behind that the copies flush adds.
// A second of input usually does; nearly coprime rates need more. The
// staging holds a second of output.
bool Resampler::MakeHistory(int32_t source_rate, int32_t target_rate) {
  const int64_t first = tap_start_[0];
  const int64_t reach = tap_start_[phases_ - 1] + int64_t{taps_} - 1 - first;
  const int64_t tail = std::max<int64_t>(first + taps_ - 1 + kTailExtra, 0);
  const int64_t history = std::max<int64_t>(source_rate, reach + tail);
  plane_size_ = history + stride_;
  const int64_t work = int64_t{phases_} * (4 + int64_t{stride_} * 2) + plane_size_ * channels_ * 2 +
                       int64_t{target_rate} * channels_ * 2;
  if (work > kMaxWorkBytes) return false;
  history_capacity_ = static_cast<int32_t>(history);
  staging_capacity_ = target_rate;
  // Zero-filled: the padding lanes of a row read history not yet written.
  history_.reset(new (std::nothrow) int16_t[static_cast<size_t>(plane_size_ * channels_)]());
  staging_.reset(new (std::nothrow) int16_t[static_cast<size_t>(target_rate) * channels_]);
  return history_ && staging_;
}

// Row after row, the kernel at its taps normalised to Q14.
bool Resampler::MakeCoefficients(bool up) {
  // Zero-filled: the padding lanes multiply by 0.
  tap_coef_.reset(new (std::nothrow) int16_t[static_cast<size_t>(int64_t{phases_} * stride_)]());
  std::unique_ptr<double[]> weights(new (std::nothrow) double[static_cast<size_t>(taps_)]);
  if (!tap_coef_ || !weights) return false;
  for (int32_t i = 0; i < phases_; ++i) {
    const double sum = KernelRow(up, i, tap_start_[i], phases_, period_in_, taps_, weights.get());
    if (!Quantise(weights.get(), sum, taps_, tap_coef_.get() + int64_t{i} * stride_)) return false;
  }
  return true;
}

void Resampler::Prime(const uint8_t* frame) {
  const int32_t copies = -tap_start_[0];
  for (int32_t c = 0; c < channels_; ++c) std::fill_n(plane(c), copies, LoadSample(frame + 2 * c));
  base_ = fill_ = copies;
}

void Resampler::Append(const uint8_t* frames, int32_t count) {
  if (kLittleEndian && channels_ == 1) {
    std::memcpy(plane(0) + fill_, frames, static_cast<size_t>(count) * 2);
    fill_ += count;
    return;
  }
  for (int32_t c = 0; c < channels_; ++c) {
    int16_t* to = plane(c) + fill_;
    const uint8_t* from = frames + 2 * c;
    for (int32_t f = 0; f < count; ++f, from += 2 * channels_) to[f] = LoadSample(from);
  }
  fill_ += count;
}

// Drops the frames before phase 0's oldest tap of the current period.
void Resampler::Compact() {
  const int32_t drop = base_ + tap_start_[0];
  if (drop <= 0) return;
  for (int32_t c = 0; c < channels_; ++c) {
    std::memmove(plane(c), plane(c) + drop, static_cast<size_t>(fill_ - drop) * 2);
  }
  fill_ -= drop;
  base_ -= drop;
}

bool Resampler::Emit() {
  const int32_t samples = staged_ * channels_;
  staged_ = 0;
  uint8_t* out = out_.Reserve(int64_t{samples} * 2);
  if (!out) return false;
  if (kLittleEndian) {
    std::memcpy(out, staging_.get(), static_cast<size_t>(samples) * 2);
  } else {
    for (int32_t i = 0; i < samples; ++i) StoreSample(out + 2 * i, staging_[i]);
  }
  out_.Commit(samples * 2);
  return true;
}

// Passes until no output frame whose tap `reach` is held remains due. The
// history is compacted after each pass, except behind the tail copies of
// flush, which lie beyond the held frames.
bool Resampler::Run(int32_t reach, bool compact) {
  for (;;) {
    const bool due = produce_(*this, reach);
    if (compact) Compact();
    if (!Emit()) return false;
    if (!due) return true;
  }
}

PcmResult Resampler::put(PcmSpan in) {
  if (!IsReadable(in)) return PcmError::kUnreadable;
  const int32_t frame_bytes = 2 * channels_;
  int32_t frames = in.length / frame_bytes;
  if (frames == 0) return {};
  if (flushed_) return PcmError::kEnded;
  const uint8_t* from = in.data;
  if (base_ == 0) Prime(from);
  // After a run the history holds at most one period and the filter's
  // reach, so every pass has room for at least one frame.
  while (frames > 0) {
    const int32_t take = std::min(frames, history_capacity_ - fill_);
    Append(from, take);
    from += int64_t{take} * frame_bytes;
    frames -= take;
    if (!Run(taps_ - 1, true)) return PcmError::kNoMemory;
  }
  return {};
}

PcmResult Resampler::flush() {
  flushed_ = true;
  if (fill_ == 0) return {};
  // Finish what a failed put left due, so the tail copies fit.
  if (!Run(taps_ - 1, true)) return PcmError::kNoMemory;
  // Extend the stream to the right with copies of its last frame, without
  // counting them as held: output stops once the tap behind the kernel's
  // centre passes the last real frame.
  const int32_t copies = tap_start_[0] + taps_ - 1 + kTailExtra;
  if (copies > 0) {
    for (int32_t c = 0; c < channels_; ++c)
      std::fill_n(plane(c) + fill_, copies, plane(c)[fill_ - 1]);
  }
  if (!Run((taps_ + 1) / 2, false)) return PcmError::kNoMemory;
  return {};
}

}  // namespace kowaki
