#include "convert/acm_stage.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace kowaki {

namespace {

// With fewer bytes at hand a put converts nothing and keeps them.
constexpr int64_t kMinConversion = 256;
// Twice the largest need still fits the 32-bit sizes.
constexpr int64_t kMaxNeed = std::numeric_limits<int32_t>::max() / 2;

// A buffer made on first need, grown to twice the need.
struct Buffer {
  std::unique_ptr<uint8_t[]> data;
  int32_t capacity = 0;

  // Room for `need` bytes, keeping the first `keep`; without memory false
  // and the buffer as it was.
  bool Fit(int64_t need, int32_t keep) {
    if (need <= capacity) return true;
    if (need > kMaxNeed) return false;
    const auto size = static_cast<int32_t>(2 * need);
    std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (!grown) return false;
    if (keep > 0) std::memcpy(grown.get(), data.get(), static_cast<size_t>(keep));
    data = std::move(grown);
    capacity = size;
    return true;
  }

  void Release() {
    data.reset();
    capacity = 0;
  }
};

// Appends `size` bytes behind the `*length` held in `buffer`.
bool Append(Buffer* buffer, int32_t* length, const uint8_t* bytes, int32_t size) {
  if (size <= 0) return true;
  if (!buffer->Fit(int64_t{*length} + size, *length)) return false;
  std::memcpy(buffer->data.get() + *length, bytes, static_cast<size_t>(size));
  *length += size;
  return true;
}

class AcmStage final : public PcmStage {
 public:
  explicit AcmStage(Acm& acm) : acm_(acm) {}

  ~AcmStage() override {
    if (!stream_) return;
    if (IsPrepared()) Unprepare();
    acm_.acmStreamClose(stream_, 0);
  }

  bool Open(const PcmFormat& input, const PcmFormat& output) {
    AcmStream opened = nullptr;
    if (acm_.acmStreamOpen(&opened, &input, &output, ACM_STREAMOPENF_NONREALTIME) != kAcmOk) {
      return false;
    }
    stream_ = opened;
    return true;
  }

  int put(PcmSpan in) override {
    if (!IsReadable(in)) return 0;
    switch (Load(in)) {
      case Loaded::kFailed:
        return 0;
      case Loaded::kUnsized:
        return Append(&carry_, &carry_len_, in.data, in.length) ? 1 : 0;
      case Loaded::kReady:
        break;
    }
    if (header_.cbSrcLength < kMinConversion) return Collect() ? 1 : 0;
    const uint32_t flags = ACM_STREAMCONVERTF_BLOCKALIGN | StartFlag();
    if (!Convert(flags)) return 0;
    if (out_len_ != 0) ++conversions_;
    return 1;
  }

  int get(PcmSpan* out) override {
    *out = {out_.data.get(), out_len_};
    out_len_ = 0;
    return 1;
  }

  // Without block alignment the codec converts a last partial block too.
  int flush() override {
    switch (Load({})) {
      case Loaded::kFailed:
        return 0;
      case Loaded::kUnsized:
        return 1;
      case Loaded::kReady:
        break;
    }
    return Convert(ACM_STREAMCONVERTF_END | StartFlag()) ? 1 : 0;
  }

 private:
  // kUnsized: the codec could not size the bytes at hand (there are none,
  // or they are less than it works on), so it could not convert them yet.
  enum class Loaded { kFailed, kUnsized, kReady };

  bool IsPrepared() const { return (header_.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) != 0; }
  uint32_t StartFlag() const { return conversions_ == 0 ? ACM_STREAMCONVERTF_START : 0; }

  // The carry and then `in` into the source buffer, growing the buffers
  // the codec needs for them (the header is prepared again only then).
  Loaded Load(PcmSpan in) {
    const int64_t need = int64_t{carry_len_} + in.length;
    if (need > kMaxNeed) return Loaded::kFailed;
    uint32_t dst_size = 0;
    if (need == 0 ||
        acm_.acmStreamSize(stream_, static_cast<uint32_t>(need), &dst_size,
                           ACM_STREAMSIZEF_SOURCE) != kAcmOk ||
        dst_size == 0) {
      return Loaded::kUnsized;
    }
    const int64_t dst_need = dst_size;
    if (dst_need > kMaxNeed) return Loaded::kFailed;
    if (need > src_.capacity || dst_need > dst_.capacity || !IsPrepared()) {
      if (IsPrepared() && !Unprepare()) return Loaded::kFailed;
      if (need > src_.capacity) {
        src_.Release();
        if (!src_.Fit(need, 0)) return Loaded::kFailed;
      }
      if (dst_need > dst_.capacity) {
        dst_.Release();
        if (!dst_.Fit(dst_need, 0)) return Loaded::kFailed;
      }
      // Always prepared with the full sizes of both buffers.
      header_.cbStruct = sizeof(AcmStreamHeader);
      header_.pbSrc = src_.data.get();
      header_.cbSrcLength = static_cast<uint32_t>(src_.capacity);
      header_.pbDst = dst_.data.get();
      header_.cbDstLength = static_cast<uint32_t>(dst_.capacity);
      if (acm_.acmStreamPrepareHeader(stream_, &header_, 0) != kAcmOk) return Loaded::kFailed;
    }
    if (carry_len_ > 0)
      std::memcpy(src_.data.get(), carry_.data.get(), static_cast<size_t>(carry_len_));
    if (in.length > 0) {
      std::memcpy(src_.data.get() + carry_len_, in.data, static_cast<size_t>(in.length));
    }
    header_.cbSrcLength = static_cast<uint32_t>(need);
    header_.cbSrcLengthUsed = 0;
    header_.cbDstLength = static_cast<uint32_t>(dst_.capacity);
    header_.cbDstLengthUsed = 0;
    return Loaded::kReady;
  }

  // The ACM unprepares a header only with the lengths it was prepared with.
  bool Unprepare() {
    header_.cbSrcLength = static_cast<uint32_t>(src_.capacity);
    header_.cbDstLength = static_cast<uint32_t>(dst_.capacity);
    return acm_.acmStreamUnprepareHeader(stream_, &header_, 0) == kAcmOk;
  }

  bool Convert(uint32_t flags) {
    return acm_.acmStreamConvert(stream_, &header_, flags) == kAcmOk && Collect();
  }

  // Keeps the source bytes left unconverted as the carry and appends the
  // output to the pending output.
  bool Collect() {
    if (header_.cbSrcLengthUsed > header_.cbSrcLength ||
        header_.cbDstLengthUsed > header_.cbDstLength) {
      return false;
    }
    int32_t left = 0;
    if (!Append(&carry_, &left, header_.pbSrc + header_.cbSrcLengthUsed,
                static_cast<int32_t>(header_.cbSrcLength - header_.cbSrcLengthUsed))) {
      return false;
    }
    carry_len_ = left;
    return Append(&out_, &out_len_, header_.pbDst, static_cast<int32_t>(header_.cbDstLengthUsed));
  }

  Acm& acm_;
  AcmStream stream_ = nullptr;
  AcmStreamHeader header_{};
  Buffer src_;  // the header's buffers
  Buffer dst_;
  Buffer carry_;
  int32_t carry_len_ = 0;
  Buffer out_;  // what get hands out
  int32_t out_len_ = 0;
  // Puts after which output was pending; 0 while the start flag is due.
  int32_t conversions_ = 0;
};

}  // namespace

PcmStagePtr new_acm_stage(const PcmFormat& input, const PcmFormat& output, Acm& acm) {
  auto* stage = new (std::nothrow) AcmStage(acm);
  if (!stage) return nullptr;
  PcmStagePtr owned(stage);
  if (!stage->Open(input, output)) return nullptr;
  return owned;
}

}  // namespace kowaki
