#pragma once
// RIFF WAVE files: the 44-byte header of a plain PCM file, the header of a
// codec file, and a reader that finds the format and the audio of a file
// written by anyone.

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

}  // namespace kowaki
