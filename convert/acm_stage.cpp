#include "convert/acm_stage.h"

#include <cstring>
#include <new>

#include "convert/byte_buffer.h"

namespace kowaki {

namespace {

// With fewer bytes at hand a put converts nothing and keeps them.
constexpr int64_t kMinConversion = 256;
// Every buffer grows to twice the need.
constexpr ByteBuffer::Growth kGrowth = ByteBuffer::Growth::kTwice;
constexpr int64_t kMaxNeed = ByteBuffer::kMaxTwiceNeed;

class AcmStage final : public PcmStage {
 public:
  explicit AcmStage(Acm& acm) : acm_(acm) {}

  ~AcmStage() override {
    if (!stream_) return;
    // The stream goes whatever the ACM answers; nothing is left to undo.
    if (IsPrepared()) static_cast<void>(Unprepare());
    static_cast<void>(acm_.acmStreamClose(stream_, 0));
  }

  bool Open(const PcmFormat& input, const PcmFormat& output) {
    AcmStream opened = nullptr;
    if (acm_.acmStreamOpen(&opened, &input, &output, ACM_STREAMOPENF_NONREALTIME) != kAcmOk) {
      return false;
    }
    stream_ = opened;
    return true;
  }

  PcmResult put(PcmSpan in) override {
    if (!IsReadable(in)) return PcmError::kUnreadable;
    switch (Load(in)) {
      case Loaded::kFailed:
        return PcmError::kCodec;
      case Loaded::kUnsized:
        if (!carry_.Append(in.data, in.length)) return PcmError::kNoMemory;
        return {};
      case Loaded::kReady:
        break;
    }
    if (header_.cbSrcLength < kMinConversion) return CodecResult(Collect());
    if (!Convert(ACM_STREAMCONVERTF_BLOCKALIGN | StartFlag())) return PcmError::kCodec;
    if (out_.len() != 0) ++conversions_;
    return {};
  }

  // Hands out the buffer as it is, even with nothing in it.
  PcmSpan get() override {
    const PcmSpan span{out_.data(), out_.len()};
    out_.Clear();
    return span;
  }

  // Without block alignment the codec converts a last partial block too.
  // Bytes it cannot size then are a last partial block it cannot take,
  // unless it never converted anything: then it failed the whole stream.
  PcmResult flush() override {
    switch (Load({})) {
      case Loaded::kFailed:
        return PcmError::kCodec;
      case Loaded::kUnsized:
        return CodecResult(carry_.len() == 0 || conversions_ > 0);
      case Loaded::kReady:
        break;
    }
    return CodecResult(Convert(ACM_STREAMCONVERTF_END | StartFlag()));
  }

 private:
  // kUnsized: the codec could not size the bytes at hand (there are none,
  // or they are less than it works on), so it could not convert them yet.
  enum class Loaded { kFailed, kUnsized, kReady };

  bool IsPrepared() const { return (header_.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) != 0; }
  // Any step of the codec's that failed fails the stage.
  static PcmResult CodecResult(bool ok) {
    if (!ok) return PcmError::kCodec;
    return {};
  }
  uint32_t StartFlag() const { return conversions_ == 0 ? ACM_STREAMCONVERTF_START : 0; }

  // The carry and then `in` into the source buffer, behind a header
  // prepared for them.
  Loaded Load(PcmSpan in) {
    const int64_t need = int64_t{carry_.len()} + in.length;
    if (need > kMaxNeed) return Loaded::kFailed;
    uint32_t dst_size = 0;
    if (need == 0 ||
        acm_.acmStreamSize(stream_, static_cast<uint32_t>(need), &dst_size,
                           ACM_STREAMSIZEF_SOURCE) != kAcmOk ||
        dst_size == 0) {
      return Loaded::kUnsized;
    }
    if (!PrepareFor(need, dst_size)) return Loaded::kFailed;
    if (carry_.len() > 0) {
      std::memcpy(src_.data(), carry_.data(), static_cast<size_t>(carry_.len()));
    }
    if (in.length > 0) {
      std::memcpy(src_.data() + carry_.len(), in.data, static_cast<size_t>(in.length));
    }
    header_.cbSrcLength = static_cast<uint32_t>(need);
    header_.cbSrcLengthUsed = 0;
    header_.cbDstLength = static_cast<uint32_t>(dst_.capacity());
    header_.cbDstLengthUsed = 0;
    return Loaded::kReady;
  }

  // The header prepared over buffers of at least these sizes. It stays
  // prepared while they suffice, and is prepared again, always with the
  // full sizes of both, only when one of them grows.
  bool PrepareFor(int64_t src_need, int64_t dst_need) {
    if (dst_need > kMaxNeed) return false;
    if (src_need <= src_.capacity() && dst_need <= dst_.capacity() && IsPrepared()) return true;
    if (IsPrepared() && !Unprepare()) return false;
    if (!Refit(&src_, src_need) || !Refit(&dst_, dst_need)) return false;
    header_.cbStruct = sizeof(AcmStreamHeader);
    header_.pbSrc = src_.data();
    header_.cbSrcLength = static_cast<uint32_t>(src_.capacity());
    header_.pbDst = dst_.data();
    header_.cbDstLength = static_cast<uint32_t>(dst_.capacity());
    return acm_.acmStreamPrepareHeader(stream_, &header_, 0) == kAcmOk;
  }

  // A work buffer too small is made anew (its bytes are copied in after);
  // without memory it is left without one, to be made by a later call.
  static bool Refit(ByteBuffer* buffer, int64_t need) {
    if (need <= buffer->capacity()) return true;
    buffer->Release();
    return buffer->Reserve(need) != nullptr;
  }

  // The ACM unprepares a header only with the lengths it was prepared with.
  bool Unprepare() {
    header_.cbSrcLength = static_cast<uint32_t>(src_.capacity());
    header_.cbDstLength = static_cast<uint32_t>(dst_.capacity());
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
    return carry_.Assign(header_.pbSrc + header_.cbSrcLengthUsed,
                         static_cast<int32_t>(header_.cbSrcLength - header_.cbSrcLengthUsed)) &&
           out_.Append(header_.pbDst, static_cast<int32_t>(header_.cbDstLengthUsed));
  }

  Acm& acm_;
  AcmStream stream_ = nullptr;
  AcmStreamHeader header_{};
  ByteBuffer src_{kGrowth};  // the header's buffers
  ByteBuffer dst_{kGrowth};
  ByteBuffer carry_{kGrowth};
  ByteBuffer out_{kGrowth};  // what get hands out
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
