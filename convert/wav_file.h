#pragma once
// RIFF WAVE files: the 44-byte header of a plain PCM file, and a reader
// that finds the format and the audio of a PCM file written by anyone.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "convert/pcm_format.h"

namespace kowaki {

inline constexpr size_t kWavHeaderSize = 44;

// "RIFF", data_size + 36, "WAVE", a 16-byte "fmt " chunk with the first 16
// bytes of `format`, "data", data_size. The data follows without a pad byte.
std::array<uint8_t, kWavHeaderSize> MakeWavHeader(const PcmFormat& format, uint32_t data_size);

struct WavInfo {
  PcmFormat format;      // PCM, block align and byte rate as the samples need
  uint64_t data_offset;  // of the first audio byte in the file
  uint32_t data_size;
};

// Fills `out` from the file at `offset`; false when the file ends first or
// the read fails.
using WavReadAt = std::function<bool(uint64_t offset, std::span<uint8_t> out)>;

// Walks the chunks in any order, odd sizes with their pad byte. Takes 8-
// and 16-bit PCM, also as WAVE_FORMAT_EXTENSIBLE with the PCM subformat.
// False with a message on any other format and on a truncated or
// malformed file.
bool ReadWavInfo(const WavReadAt& read_at, WavInfo* info, std::string* error);

}  // namespace kowaki
