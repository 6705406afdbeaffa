#include "convert/wav_file.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/little_endian.h"
#include "text/catalogue.h"

namespace kowaki {

namespace {

constexpr uint16_t kFormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM as it is stored.
constexpr uint8_t kPcmSubformat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// A codec format as the chunk gives it; a 16-byte chunk has no extra bytes.
Result<WaveFormat> ParseCodecFormat(std::span<const uint8_t> chunk) {
  const uint8_t* p = chunk.data();
  const uint16_t extra = chunk.size() >= 18 ? ReadLe16(p + 16) : 0;
  if (extra > kMaxFormatExtra) {
    return Failure{Say(Text::kWavExtraBytes, extra, kMaxFormatExtra)};
  }
  if (extra > 0 && chunk.size() < size_t{18} + extra) {
    return Failure{Say(Text::kWavFmtShorterThanExtra)};
  }
  const uint16_t block_align = ReadLe16(p + 12);
  if (block_align == 0) return Failure{Say(Text::kWavBlockAlignZero)};
  WaveFormat format{{ReadLe16(p), ReadLe16(p + 2), ReadLe32(p + 4), ReadLe32(p + 8), block_align,
                     ReadLe16(p + 14), extra}};
  std::memcpy(format.extra, p + 18, extra);
  return format;
}

// The format a "fmt " chunk describes.
Result<WaveFormat> ParseFormat(std::span<const uint8_t> chunk) {
  if (chunk.size() < 16) return Failure{Say(Text::kWavFmtTooShort)};
  const uint8_t* p = chunk.data();
  const uint16_t tag = ReadLe16(p);
  const uint16_t channels = ReadLe16(p + 2);
  const uint32_t rate = ReadLe32(p + 4);
  const uint16_t block_align = ReadLe16(p + 12);
  const uint16_t bits = ReadLe16(p + 14);
  if (channels == 0 || rate == 0) return Failure{Say(Text::kWavNoChannelsOrRate)};
  if (tag == kFormatExtensible) {
    if (chunk.size() < 40 || ReadLe16(p + 16) < 22) {
      return Failure{Say(Text::kWavExtensibleTooShort)};
    }
    if (std::memcmp(p + 24, kPcmSubformat, sizeof kPcmSubformat) != 0) {
      return Failure{Say(Text::kWavExtensibleNotPcm)};
    }
  } else if (tag != kFormatPcm) {
    return ParseCodecFormat(chunk);
  }
  if (bits != 8 && bits != 16) {
    return Failure{Say(Text::kWavSampleWidth, bits)};
  }
  if (!PcmFormatFits(rate, channels, bits)) {
    return Failure{Say(Text::kWavFormatTooLarge, channels, bits, rate)};
  }
  const WaveFormat format{MakePcmFormat(rate, channels, bits)};
  if (block_align != format.block_align) {
    return Failure{Say(Text::kWavBlockAlign, block_align, channels, bits)};
  }
  return format;
}

// The first 16 bytes of the format, as "fmt " chunks begin.
void PutFormat(uint8_t* p, const PcmFormat& format) {
  WriteLe16(p, format.format_tag);
  WriteLe16(p + 2, format.channels);
  WriteLe32(p + 4, format.samples_per_sec);
  WriteLe32(p + 8, format.avg_bytes_per_sec);
  WriteLe16(p + 12, format.block_align);
  WriteLe16(p + 14, format.bits_per_sample);
}

// The RIFF chunk's size: what follows its size field, an odd data chunk's
// pad byte included.
uint32_t RiffSize(size_t header_size, uint32_t data_size) {
  if (data_size == kWavSizeUnknown) return kWavSizeUnknown;
  return static_cast<uint32_t>(header_size - 8) + data_size + (data_size & 1);
}

}  // namespace

std::vector<uint8_t> MakeCueChunks(std::span<const CuePoint> cues) {
  std::vector<uint8_t> out;
  const auto add32 = [&out](uint32_t value) {
    out.resize(out.size() + 4);
    WriteLe32(&out[out.size() - 4], value);
  };
  const auto add_tag = [&out](const char(&tag)[5]) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
  };
  add_tag("cue ");
  add32(static_cast<uint32_t>(4 + 24 * cues.size()));
  add32(static_cast<uint32_t>(cues.size()));
  for (size_t i = 0; i < cues.size(); ++i) {
    add32(static_cast<uint32_t>(i + 1));
    add32(cues[i].frame);
    add_tag("data");
    add32(0);
    add32(0);
    add32(cues[i].frame);
  }
  const size_t list = out.size();
  add_tag("LIST");
  add32(0);  // patched below
  add_tag("adtl");
  for (size_t i = 0; i < cues.size(); ++i) {
    const std::string& label = cues[i].label;
    add_tag("labl");
    add32(static_cast<uint32_t>(4 + label.size() + 1));
    add32(static_cast<uint32_t>(i + 1));
    out.insert(out.end(), label.begin(), label.end());
    out.push_back(0);
    if (out.size() % 2 != 0) out.push_back(0);  // chunks start on even bytes
  }
  WriteLe32(&out[list + 4], static_cast<uint32_t>(out.size() - list - 8));
  return out;
}

std::array<uint8_t, kWavHeaderSize> MakeWavHeader(const PcmFormat& format, uint32_t data_size) {
  std::array<uint8_t, kWavHeaderSize> header{};
  uint8_t* p = header.data();
  std::memcpy(p, "RIFF", 4);
  WriteLe32(p + 4, RiffSize(kWavHeaderSize, data_size));
  std::memcpy(p + 8, "WAVEfmt ", 8);
  WriteLe32(p + 16, 16);
  PutFormat(p + 20, format);
  std::memcpy(p + 36, "data", 4);
  WriteLe32(p + 40, data_size);
  return header;
}

std::vector<uint8_t> MakeCodecWavHeader(const WaveFormat& format, uint32_t data_size,
                                        uint32_t frames) {
  const uint16_t extra = std::min(format.extra_size, kMaxFormatExtra);
  const uint32_t format_size = 18u + extra;
  const uint32_t format_chunk = 8 + format_size + (format_size & 1);
  std::vector<uint8_t> header(12 + format_chunk + 12 + 8);
  uint8_t* p = header.data();
  std::memcpy(p, "RIFF", 4);
  WriteLe32(p + 4, RiffSize(header.size(), data_size));
  std::memcpy(p + 8, "WAVEfmt ", 8);
  WriteLe32(p + 16, format_size);
  PutFormat(p + 20, format);
  WriteLe16(p + 36, extra);
  std::memcpy(p + 38, format.extra, extra);
  p += 12 + format_chunk;
  std::memcpy(p, "fact", 4);
  WriteLe32(p + 4, 4);
  WriteLe32(p + 8, frames);
  std::memcpy(p + 12, "data", 4);
  WriteLe32(p + 16, data_size);
  return header;
}

Result<WavInfo> ReadWavInfo(const WavReadAt& read_at) {
  uint8_t head[12];
  if (!read_at(0, head) || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0) {
    return Failure{Say(Text::kWavNotRiff)};
  }
  // Chunks must lie inside the RIFF chunk, unless it was written to a
  // stream and gives no size.
  const uint32_t riff_size = ReadLe32(head + 4);
  const uint64_t end = riff_size == kWavSizeUnknown ? UINT64_MAX : uint64_t{8} + riff_size;
  WavInfo info{};
  bool have_format = false;
  bool have_data = false;
  uint64_t at = 12;
  while (!(have_format && have_data)) {
    uint8_t chunk[8];
    if (at + 8 > end) return Failure{Say(have_format ? Text::kWavNoData : Text::kWavNoFmt)};
    if (!read_at(at, chunk)) return Failure{Say(Text::kTruncatedFile)};
    const uint32_t size = ReadLe32(chunk + 4);
    const uint64_t body = at + 8;
    if (body + size > end) return Failure{Say(Text::kWavChunkPastEnd)};
    if (!have_format && std::memcmp(chunk, "fmt ", 4) == 0) {
      uint8_t format[18 + kMaxFormatExtra];
      const std::span<uint8_t> part(format, size < sizeof format ? size : sizeof format);
      if (!read_at(body, part)) return Failure{Say(Text::kTruncatedFile)};
      const Result<WaveFormat> parsed = ParseFormat(part);
      if (!parsed) return parsed.failure();
      info.format = *parsed;
      have_format = true;
    } else if (!have_data && std::memcmp(chunk, "data", 4) == 0) {
      info.data_offset = body;
      info.data_size = size;
      have_data = true;
      // Data running to the end of a stream: nothing can be found after it.
      if (size == kWavSizeUnknown && !have_format) return Failure{Say(Text::kWavNoFmt)};
      if (size == kWavSizeUnknown) return info;
    }
    at = body + size + (size & 1);
  }
  // PCM in whole frames: a partial last one is no sample.
  if (info.format.format_tag == kFormatPcm) {
    info.data_size -= info.data_size % info.format.block_align;
  }
  return info;
}

WavBlockReader::WavBlockReader(const WavInfo& info, WavReadSome read)
    : read_(std::move(read)),
      at_(info.data_offset),
      left_(info.data_size),
      to_end_(info.data_size == kWavSizeUnknown),
      align_(info.format.block_align) {
  constexpr size_t kBlockBytes = 8192;
  block_.resize(kBlockBytes >= align_ ? kBlockBytes / align_ * align_ : align_);
}

Result<std::span<const uint8_t>> WavBlockReader::Next() {
  if (left_ == 0) return std::span<const uint8_t>();
  size_t size = to_end_ || left_ > block_.size() ? block_.size() : static_cast<size_t>(left_);
  const int64_t got = read_(at_, {block_.data(), size});
  if (got < 0 || (static_cast<size_t>(got) < size && !to_end_)) {
    return Failure{Say(Text::kAudioEndsEarly)};
  }
  if (static_cast<size_t>(got) < size) {  // the end of data of unknown size: its whole frames
    left_ = 0;
    size = static_cast<size_t>(got) - static_cast<size_t>(got) % align_;
  } else if (!to_end_) {
    left_ -= size;
  }
  at_ += size;
  return std::span<const uint8_t>(block_.data(), size);
}

}  // namespace kowaki
