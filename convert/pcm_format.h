#pragma once
// The wave format descriptor: 18 bytes laid out as the Windows WAVEFORMATEX.
// A codec format (any tag but kFormatPcm) is followed in memory by its
// `extra_size` extra bytes (its block structure), as the ACM reads it: a
// WaveFormat has room for them.

#include <cstdint>

#include "common/little_endian.h"

namespace kowaki {

inline constexpr uint16_t kFormatPcm = 1;
inline constexpr uint16_t kFormatMsAdpcm = 0x0002;
inline constexpr uint16_t kFormatAlaw = 0x0006;
inline constexpr uint16_t kFormatMulaw = 0x0007;
inline constexpr uint16_t kFormatImaAdpcm = 0x0011;

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

// Room for the extra bytes of any codec we meet; Microsoft ADPCM's seven
// coefficient pairs need 32.
inline constexpr uint16_t kMaxFormatExtra = 64;

// A format followed by its extra bytes, passed on as a PcmFormat.
#pragma pack(push, 1)
struct WaveFormat : PcmFormat {
  uint8_t extra[kMaxFormatExtra] = {};
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == sizeof(PcmFormat) + kMaxFormatExtra);

// The extra bytes behind a format; there are `extra_size` of them where
// it is a WaveFormat or the ACM's descriptor of one.
inline const uint8_t* ExtraBytes(const PcmFormat& format) {
  return reinterpret_cast<const uint8_t*>(&format) + sizeof(PcmFormat);
}

// Little-endian 16-bit word `index` of the extra bytes.
inline uint16_t ExtraWord(const PcmFormat& format, int index) {
  return ReadLe16(ExtraBytes(format) + 2 * index);
}

// Plain PCM with block align and byte rate derived from the three values.
PcmFormat MakePcmFormat(uint32_t rate, uint16_t channels, uint16_t bits);
// Whether those fit the descriptor: a frame within block align's 16 bits,
// the bytes of a second within the byte rate's 32.
bool PcmFormatFits(uint32_t rate, uint32_t channels, uint32_t bits);

// The descriptor for encoding 16-bit PCM of this rate and channel count as
// `tag` (kFormatImaAdpcm, kFormatMsAdpcm, kFormatMulaw, kFormatAlaw), as
// the system's codecs suggest it: ADPCM in blocks of 256 bytes per channel
// for each whole 11025 Hz of the rate (1 to 64 times), Microsoft ADPCM with
// its seven standard coefficient pairs. False for another tag, and for ADPCM
// with more than two channels.
bool MakeCodecFormat(uint16_t tag, uint32_t rate, uint16_t channels, WaveFormat* format);

}  // namespace kowaki
