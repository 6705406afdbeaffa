#include "convert/codecs/own_acm.h"

#include <cstring>
#include <limits>
#include <new>

#include "convert/codecs/codecs.h"

namespace kowaki {

namespace {

struct Stream {
  codecs::BlockLayout layout;
  bool encode;  // PCM to the codec
  codecs::EncoderState encoder;
};

// What a header was prepared with, kept in its reserved words as the ACM
// keeps it.
struct Prepared {
  AcmStream stream;
  uint8_t* src;
  uint32_t src_length;
  uint8_t* dst;
  uint32_t dst_length;
};
static_assert(sizeof(Prepared) <= sizeof(AcmStreamHeader::dwReservedDriver));

Prepared PreparedOf(const AcmStreamHeader& header) {
  Prepared prepared;
  std::memcpy(&prepared, header.dwReservedDriver, sizeof prepared);
  return prepared;
}

bool IsPrepared(const AcmStreamHeader& header) {
  return (header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) != 0;
}

Stream* StreamOf(AcmStream stream) { return reinterpret_cast<Stream*>(stream); }

class OwnCodecs final : public Acm {
 public:
  AcmResult acmStreamOpen(AcmStream* stream, const PcmFormat* source, const PcmFormat* destination,
                          uint32_t) override {
    if (!stream || !source || !destination) return kAcmInvalidParam;
    const bool encode = source->format_tag == kFormatPcm;
    const PcmFormat& pcm = encode ? *source : *destination;
    const PcmFormat& coded = encode ? *destination : *source;
    codecs::BlockLayout layout;
    if (!codecs::ReadLayout(coded, &layout) || pcm.format_tag != kFormatPcm ||
        pcm.bits_per_sample != 16 || pcm.channels != coded.channels ||
        pcm.block_align != 2 * pcm.channels || pcm.samples_per_sec != coded.samples_per_sec) {
      return kAcmNotPossible;
    }
    auto* opened = new (std::nothrow) Stream{layout, encode, {}};
    if (!opened) return kAcmNoMemory;
    *stream = reinterpret_cast<AcmStream>(opened);
    return kAcmOk;
  }

  AcmResult acmStreamSize(AcmStream stream, uint32_t source_bytes, uint32_t* destination_bytes,
                          uint32_t size_flags) override {
    if (!stream) return kAcmInvalidHandle;
    if (!destination_bytes) return kAcmInvalidParam;
    if (size_flags != ACM_STREAMSIZEF_SOURCE) return kAcmInvalidFlag;
    const Stream& s = *StreamOf(stream);
    const int64_t pcm_block = PcmBlockBytes(s.layout);
    const int64_t in_block = s.encode ? pcm_block : s.layout.block_bytes;
    const int64_t out_block = s.encode ? s.layout.block_bytes : pcm_block;
    const int64_t size = (source_bytes + in_block - 1) / in_block * out_block;
    if (size > std::numeric_limits<uint32_t>::max()) return kAcmNotPossible;
    *destination_bytes = static_cast<uint32_t>(size);
    return kAcmOk;
  }

  AcmResult acmStreamPrepareHeader(AcmStream stream, AcmStreamHeader* header,
                                   uint32_t prepare_flags) override {
    if (!stream) return kAcmInvalidHandle;
    if (prepare_flags != 0) return kAcmInvalidFlag;
    if (!header || header->cbStruct < sizeof(AcmStreamHeader) || IsPrepared(*header) ||
        !header->pbSrc || !header->pbDst) {
      return kAcmInvalidParam;
    }
    const Prepared prepared{stream, header->pbSrc, header->cbSrcLength, header->pbDst,
                            header->cbDstLength};
    std::memcpy(header->dwReservedDriver, &prepared, sizeof prepared);
    header->fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED;
    return kAcmOk;
  }

  AcmResult acmStreamUnprepareHeader(AcmStream stream, AcmStreamHeader* header,
                                     uint32_t unprepare_flags) override {
    if (!stream) return kAcmInvalidHandle;
    if (unprepare_flags != 0) return kAcmInvalidFlag;
    if (!header) return kAcmInvalidParam;
    if (!IsPrepared(*header)) return kAcmUnprepared;
    const Prepared prepared = PreparedOf(*header);
    if (prepared.stream != stream || prepared.src != header->pbSrc ||
        prepared.src_length != header->cbSrcLength || prepared.dst != header->pbDst ||
        prepared.dst_length != header->cbDstLength) {
      return kAcmInvalidParam;
    }
    header->fdwStatus &= ~(ACMSTREAMHEADER_STATUSF_PREPARED | ACMSTREAMHEADER_STATUSF_DONE);
    return kAcmOk;
  }

  AcmResult acmStreamConvert(AcmStream stream, AcmStreamHeader* header,
                             uint32_t convert_flags) override {
    if (!stream) return kAcmInvalidHandle;
    if (convert_flags &
        ~(ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END)) {
      return kAcmInvalidFlag;
    }
    if (!header) return kAcmInvalidParam;
    if (!IsPrepared(*header)) return kAcmUnprepared;
    const Prepared prepared = PreparedOf(*header);
    if (prepared.stream != stream || prepared.src != header->pbSrc ||
        prepared.dst != header->pbDst || header->cbSrcLength > prepared.src_length ||
        header->cbDstLength > prepared.dst_length) {
      return kAcmInvalidParam;
    }
    Stream& s = *StreamOf(stream);
    if (convert_flags & ACM_STREAMCONVERTF_START) s.encoder = {};
    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
    const bool whole_blocks = (convert_flags & ACM_STREAMCONVERTF_BLOCKALIGN) != 0;
    if (s.encode) {
      Encode(&s, header, whole_blocks);
    } else if (!Decode(s.layout, header, whole_blocks)) {
      return kAcmNotPossible;
    }
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return kAcmOk;
  }

  AcmResult acmStreamClose(AcmStream stream, uint32_t) override {
    if (!stream) return kAcmInvalidHandle;
    delete StreamOf(stream);
    return kAcmOk;
  }

 private:
  static int32_t PcmBlockBytes(const codecs::BlockLayout& layout) {
    return layout.block_frames * 2 * layout.channels;
  }

  // Whole blocks while both buffers have room, then, unless asked for
  // whole blocks only, what there is of a last one.
  static bool Decode(const codecs::BlockLayout& layout, AcmStreamHeader* header,
                     bool whole_blocks) {
    const uint32_t pcm_block = static_cast<uint32_t>(PcmBlockBytes(layout));
    const uint32_t block = static_cast<uint32_t>(layout.block_bytes);
    uint32_t used = 0;
    uint32_t made = 0;
    for (; header->cbSrcLength - used >= block && header->cbDstLength - made >= pcm_block;
         used += block, made += pcm_block) {
      if (!codecs::DecodeBlock(layout, header->pbSrc + used, layout.block_bytes,
                               header->pbDst + made)) {
        return false;
      }
    }
    const auto rest = static_cast<int32_t>(header->cbSrcLength - used);
    const int32_t frames = codecs::FramesIn(layout, rest);
    const auto bytes = static_cast<uint32_t>(frames * 2 * layout.channels);
    if (!whole_blocks && rest < layout.block_bytes && frames > 0 &&
        header->cbDstLength - made >= bytes) {
      if (!codecs::DecodeBlock(layout, header->pbSrc + used, rest, header->pbDst + made)) {
        return false;
      }
      used += static_cast<uint32_t>(codecs::BytesOfFrames(layout, frames));
      made += bytes;
    }
    header->cbSrcLengthUsed = used;
    header->cbDstLengthUsed = made;
    return true;
  }

  // As Decode, but any PCM encodes: nothing here can fail.
  static void Encode(Stream* s, AcmStreamHeader* header, bool whole_blocks) {
    const codecs::BlockLayout& layout = s->layout;
    const uint32_t pcm_block = static_cast<uint32_t>(PcmBlockBytes(layout));
    const uint32_t block = static_cast<uint32_t>(layout.block_bytes);
    const uint32_t frame = static_cast<uint32_t>(2 * layout.channels);
    uint32_t used = 0;
    uint32_t made = 0;
    for (; header->cbSrcLength - used >= pcm_block && header->cbDstLength - made >= block;
         used += pcm_block, made += block) {
      codecs::EncodeBlock(layout, &s->encoder, header->pbSrc + used, layout.block_frames,
                          header->pbDst + made);
    }
    const uint32_t frames = (header->cbSrcLength - used) / frame;
    if (!whole_blocks && header->cbSrcLength - used < pcm_block && frames > 0 &&
        header->cbDstLength - made >= block) {
      codecs::EncodeBlock(layout, &s->encoder, header->pbSrc + used, static_cast<int32_t>(frames),
                          header->pbDst + made);
      used += frames * frame;
      made += block;
    }
    header->cbSrcLengthUsed = used;
    header->cbDstLengthUsed = made;
  }
};

}  // namespace

Acm& OwnAcm() {
  static OwnCodecs codecs;
  return codecs;
}

}  // namespace kowaki
