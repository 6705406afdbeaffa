#include "convert/pcm_converter.h"

#include <algorithm>
#include <limits>
#include <new>

#include "convert/acm_stage.h"
#include "convert/resampler.h"
#include "convert/sample_stages.h"

namespace kowaki {

namespace {

constexpr uint32_t kMagicHead = 0x5F4D4341;  // "ACM_"
constexpr uint32_t kMagicTail = 0x4741545F;  // "_TAG"

// The PCM a codec format decodes to or encodes from: 16 bits at its rate
// and channel count. A codec's bits per sample are its coded width (4 for
// ADPCM, 8 for G.711), which no codec decodes to.
PcmFormat PcmSideOf(const PcmFormat& codec) {
  return MakePcmFormat(codec.samples_per_sec, codec.channels, 16);
}

// The chain works on 8- and 16-bit samples only, and rates must fit the
// resampler's arguments.
bool IsWorkable(const PcmFormat& pcm) {
  return (pcm.bits_per_sample == 8 || pcm.bits_per_sample == 16) && pcm.channels >= 1 &&
         pcm.samples_per_sec >= 1 &&
         pcm.samples_per_sec <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
}

}  // namespace

PcmConverterPtr PcmConverter::create() { return PcmConverterPtr(new (std::nothrow) PcmConverter); }

PcmConverter::PcmConverter()
    : magic_{kMagicHead, kMagicTail},
      chain_{},
      stage_count_(0),
      out_(ByteBuffer::Growth::kDouble) {}

PcmConverter::~PcmConverter() { Reset(); }

bool PcmConverter::Intact() const { return magic_[0] == kMagicHead && magic_[1] == kMagicTail; }

void PcmConverter::destroy() {
  if (Intact()) delete this;
}

void PcmConverter::Reset() {
  for (int32_t i = 0; i < stage_count_; ++i) {
    chain_[i]->destroy();
    chain_[i] = nullptr;
  }
  stage_count_ = 0;
  out_.Release();
  magic_[0] = kMagicHead;
  magic_[1] = kMagicTail;
}

bool PcmConverter::Append(PcmStagePtr stage) {
  if (!stage) return false;
  chain_[stage_count_++] = stage.release();
  return true;
}

PcmResult PcmConverter::setup(const PcmFormat& source, const PcmFormat& target,
                              ChannelOrder order) {
  if (!Intact()) return PcmError::kNotConverter;
  Reset();
  PcmResult planned;
  if (!Plan(source, target, order)) {
    planned = PcmError::kNoChain;
  } else if (!out_.Allocate()) {
    planned = PcmError::kNoMemory;
  }
  if (!planned) Reset();
  return planned;
}

bool PcmConverter::Plan(const PcmFormat& source, const PcmFormat& target, ChannelOrder order) {
  const bool decode = source.format_tag != kFormatPcm;
  const bool encode = target.format_tag != kFormatPcm;
  if (decode && encode) return false;
  // The audio as it enters and leaves the PCM part of the chain.
  const PcmFormat from = decode ? PcmSideOf(source) : source;
  const PcmFormat to = encode ? PcmSideOf(target) : target;
  // Without a stage for it, any other channel change would mislabel the data.
  const bool mixdown = from.channels > 2 && to.channels <= 2;
  const bool channels_fit =
      from.channels == to.channels || (from.channels == 2 && to.channels == 1) ||
      (from.channels == 1 && to.channels == 2) || (mixdown && from.channels <= kMaxMixdownChannels);
  if (!IsWorkable(from) || !IsWorkable(to) || !channels_fit) return false;
  // A codec divides by its block align (Wine's Microsoft ADPCM does
  // without looking).
  if ((decode && source.block_align == 0) || (encode && target.block_align == 0)) return false;

  if (decode && !Append(new_acm_stage(source, from))) return false;
  if (from.bits_per_sample == 8 && !Append(new_widen_stage())) return false;
  if (mixdown && !Append(new_mixdown_stage(from.channels, order))) return false;
  const bool stereo = from.channels == 2 || mixdown;
  if (stereo && to.channels == 1 && !Append(new_downmix_stage())) return false;
  const auto from_rate = static_cast<int32_t>(from.samples_per_sec);
  const auto to_rate = static_cast<int32_t>(to.samples_per_sec);
  const int32_t channels = std::min(from.channels, to.channels);
  if (from_rate < to_rate && !Append(new_upsampler(from_rate, to_rate, channels))) return false;
  if (from_rate > to_rate && !Append(new_downsampler(from_rate, to_rate, channels))) return false;
  if (from.channels == 1 && to.channels == 2 && !Append(new_upmix_stage())) return false;
  if (to.bits_per_sample == 8 && !Append(new_narrow_stage())) return false;
  return !encode || Append(new_acm_stage(to, target));
}

PcmResult PcmConverter::put(PcmSpan in) {
  if (!Intact()) return PcmError::kNotConverter;
  if (!IsReadable(in)) return PcmError::kUnreadable;
  PcmSpan span = in;
  for (int32_t i = 0; i < stage_count_; ++i) {
    if (PcmResult taken = chain_[i]->put(span); !taken) return taken;
    span = chain_[i]->get();
  }
  return Pending(span);
}

Result<PcmSpan, PcmError> PcmConverter::get() {
  if (!Intact()) return PcmError::kNotConverter;
  return out_.Take();
}

PcmResult PcmConverter::flush() {
  if (!Intact()) return PcmError::kNotConverter;
  // Each stage first takes what the stages before it released, then
  // releases its own.
  PcmSpan span;
  for (int32_t i = 0; i < stage_count_; ++i) {
    if (PcmResult taken = chain_[i]->put(span); !taken) return taken;
    if (PcmResult flushed = chain_[i]->flush(); !flushed) return flushed;
    span = chain_[i]->get();
  }
  return Pending(span);
}

PcmResult PcmConverter::Pending(PcmSpan span) {
  if (!out_.Append(span.data, span.length)) return PcmError::kNoMemory;
  return {};
}

}  // namespace kowaki
