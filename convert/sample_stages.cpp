#include "convert/sample_stages.h"

#include <new>

#include "convert/byte_buffer.h"
#include "convert/samples.h"
#include "convert/simd.h"

namespace kowaki {

namespace {

// Converts a run of units one by one.
template <typename Rule>
struct UnitByUnit {
  static void ConvertRun(const uint8_t* in, uint8_t* out, int32_t count) {
    for (int32_t i = 0; i < count; ++i) Rule::Convert(in + i * Rule::kIn, out + i * Rule::kOut);
  }
};

struct Widen : UnitByUnit<Widen> {
  static constexpr int32_t kIn = 1;
  static constexpr int32_t kOut = 2;
  static void Convert(const uint8_t* in, uint8_t* out) { StoreSample(out, (in[0] - 128) * 256); }
};

struct Downmix : UnitByUnit<Downmix> {
  static constexpr int32_t kIn = 4;
  static constexpr int32_t kOut = 2;
  static void Convert(const uint8_t* in, uint8_t* out) {
    StoreSample(out, (LoadSample(in) + LoadSample(in + 2) + 1) / 2);
  }
#ifdef KOWAKI_SSE2
  // Mixing down runs in front of every stereo export; eight frames a step.
  static void ConvertRun(const uint8_t* in, uint8_t* out, int32_t count) {
    const __m128i ones = _mm_set1_epi16(1);
    const auto mix = [&](const uint8_t* frames) {
      const __m128i sum = _mm_add_epi32(
          _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(frames)), ones),
          _mm_set1_epi32(1));
      // Halve, truncating toward zero.
      return _mm_srai_epi32(_mm_add_epi32(sum, _mm_srli_epi32(sum, 31)), 1);
    };
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * kOut),
                       _mm_packs_epi32(mix(in + i * kIn), mix(in + i * kIn + 16)));
    }
    UnitByUnit::ConvertRun(in + i * kIn, out + i * kOut, count - i);
  }
#endif
};

struct Upmix : UnitByUnit<Upmix> {
  static constexpr int32_t kIn = 2;
  static constexpr int32_t kOut = 4;
  static void Convert(const uint8_t* in, uint8_t* out) {
    out[0] = out[2] = in[0];
    out[1] = out[3] = in[1];
  }
};

struct Narrow : UnitByUnit<Narrow> {
  static constexpr int32_t kIn = 2;
  static constexpr int32_t kOut = 1;
  static void Convert(const uint8_t* in, uint8_t* out) {
    const int32_t level = (LoadSample(in) + 32896) >> 8;
    *out = static_cast<uint8_t>(level >= 255 ? 255 : level);
  }
};

template <typename Rule>
class SampleStage final : public BufferedStage {
 public:
  static PcmStagePtr Create() {
    PcmStagePtr stage(new (std::nothrow) SampleStage);
    if (stage && !static_cast<SampleStage*>(stage.get())->out_.Allocate()) stage.reset();
    return stage;
  }

  SampleStage() : BufferedStage(ByteBuffer::Growth::kStep) {}

  PcmResult put(PcmSpan in) override {
    if (!IsReadable(in)) return PcmError::kUnreadable;
    const int32_t count = in.length / Rule::kIn;
    uint8_t* out = out_.Reserve(int64_t{count} * Rule::kOut);
    if (!out) return PcmError::kNoMemory;
    Rule::ConvertRun(in.data, out, count);
    out_.Commit(count * Rule::kOut);
    return {};
  }

  PcmResult flush() override { return {}; }
};

}  // namespace

PcmStagePtr new_widen_stage() { return SampleStage<Widen>::Create(); }
PcmStagePtr new_downmix_stage() { return SampleStage<Downmix>::Create(); }
PcmStagePtr new_upmix_stage() { return SampleStage<Upmix>::Create(); }
PcmStagePtr new_narrow_stage() { return SampleStage<Narrow>::Create(); }

}  // namespace kowaki
