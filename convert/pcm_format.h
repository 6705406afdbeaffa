#pragma once
// The wave format descriptor: 18 bytes laid out as the Windows WAVEFORMATEX.
// A codec format (any tag but kFormatPcm) is followed in memory by its
// `extra_size` bytes.

#include <cstdint>

namespace kowaki {

inline constexpr uint16_t kFormatPcm = 1;

#pragma pack(push, 1)
struct PcmFormat {
  uint16_t format_tag;
  uint16_t channels;
  uint32_t samples_per_sec;
  uint32_t avg_bytes_per_sec;
  uint16_t block_align;
  uint16_t bits_per_sample;
  uint16_t extra_size;
};
#pragma pack(pop)
static_assert(sizeof(PcmFormat) == 18);

// Plain PCM with block align and byte rate derived from the three values.
PcmFormat MakePcmFormat(uint32_t rate, uint16_t channels, uint16_t bits);

}  // namespace kowaki
