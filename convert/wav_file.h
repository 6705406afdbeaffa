#pragma once
// RIFF WAVE files: the 44-byte header of a plain PCM file, the header of a
// codec file, a reader that finds the format and the audio of a file
// written by anyone, and the audio read in blocks for a converter.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/result.h"
#include "convert/pcm_format.h"

namespace kowaki {

inline constexpr size_t kWavHeaderSize = 44;
// The data size of a file written to a stream before its length is known:
// the RIFF size says the same, and readers take the data to run to the
// end.
inline constexpr uint32_t kWavSizeUnknown = 0xFFFFFFFF;

// "RIFF", data_size + 36, "WAVE", a 16-byte "fmt " chunk with the first 16
// bytes of `format`, "data", data_size. The data follows; an odd data_size
// takes a pad byte after it, which the RIFF size counts.
std::array<uint8_t, kWavHeaderSize> MakeWavHeader(const PcmFormat& format, uint32_t data_size);

// A place in the audio that editors show as a marker: its sample frame
// and its label (UTF-8).
struct CuePoint {
  uint32_t frame = 0;
  std::string label;
};

// The chunks that follow the data to mark `cues`: a "cue " chunk with a
// point each (numbered from 1, in the "data" chunk), then a "LIST" chunk
// of type "adtl" with a "labl" chunk each. Their bytes count in the RIFF
// size.
std::vector<uint8_t> MakeCueChunks(std::span<const CuePoint> cues);

// A codec format's header: "RIFF", "WAVE", a "fmt " chunk with the 18
// bytes of `format` and its extra bytes (and a pad byte when they are
// odd), a "fact" chunk with the number of sample frames, "data" and
// data_size. The data follows, with a pad byte as above. Both headers give
// kWavSizeUnknown as the RIFF size too when data_size is kWavSizeUnknown.
std::vector<uint8_t> MakeCodecWavHeader(const WaveFormat& format, uint32_t data_size,
                                        uint32_t frames);

struct WavInfo {
  // PCM with block align and byte rate as the samples need, or a codec
  // format as the file gives it, with its extra bytes.
  WaveFormat format;
  uint64_t data_offset;  // of the first audio byte in the file
  uint32_t data_size;    // PCM: whole frames; kWavSizeUnknown: to the end of the file
};

// Fills `out` from the file at `offset`; false when the file ends first or
// the read fails.
using WavReadAt = std::function<bool(uint64_t offset, std::span<uint8_t> out)>;

// Walks the chunks in any order, odd sizes with their pad byte. Takes 8-
// and 16-bit PCM, also as WAVE_FORMAT_EXTENSIBLE with the PCM subformat,
// and any other format tag as a codec, leaving it to the codecs to refuse
// it. PCM data ends at its last whole frame; a file written to a stream
// (kWavSizeUnknown as its sizes) has its data run to its end. Fails with a message on other
// PCM and extensible formats, PCM whose sizes overflow the format, codec
// formats with more than kMaxFormatExtra extra bytes, and a truncated or
// malformed file.
Result<WavInfo> ReadWavInfo(const WavReadAt& read_at);

// Reads up to `out.size()` bytes from `offset`: the count read, fewer only
// where the file ends, or -1 when the read fails.
using WavReadSome = std::function<int64_t(uint64_t offset, std::span<uint8_t> out)>;

// The audio of a file ReadWavInfo described, in blocks of at most 8192
// bytes that hold whole frames, or whole blocks of a codec, so that no
// stage of a converter drops a partial one between blocks.
class WavBlockReader {
 public:
  WavBlockReader(const WavInfo& info, WavReadSome read);

  // The next block, valid until the next call; empty after the last. Data
  // of unknown size runs to the end of the file, in whole frames. Fails
  // when the file ends before its data does, or a read fails.
  Result<std::span<const uint8_t>> Next();

 private:
  WavReadSome read_;
  uint64_t at_;    // of the next block in the file
  uint64_t left_;  // bytes of data still to read
  bool to_end_;    // the data runs to the end of the file
  uint16_t align_;
  std::vector<uint8_t> block_;
};

}  // namespace kowaki
