#pragma once
// RIFF WAVE files built byte by byte, and read from memory.

#include <cstdint>
#include <cstring>
#include <string>

#include "convert/wav_file.h"

namespace kowaki::test {

inline std::string Le32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}
inline std::string Le16(uint32_t v) { return Le32(v).substr(0, 2); }

// With its pad byte when the body is odd.
inline std::string Chunk(const std::string& id, const std::string& body) {
  return id + Le32(static_cast<uint32_t>(body.size())) + body + std::string(body.size() % 2, '\0');
}

// The 16 bytes of a plain fmt chunk body.
inline std::string Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return Le16(tag) + Le16(channels) + Le32(rate) + Le32(rate * align) + Le16(align) + Le16(bits);
}

inline const std::string kPcmGuid(
    "\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);

inline std::string Extensible(uint16_t channels, uint32_t rate, uint16_t bits,
                              const std::string& guid = kPcmGuid) {
  return Fmt(0xFFFE, channels, rate, bits) + Le16(22) + Le16(bits) + Le32(3) + guid;
}

inline std::string Riff(const std::string& chunks) {
  return "RIFF" + Le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

inline Result<WavInfo> ReadWavBytes(const std::string& file) {
  const auto read_at = [&](uint64_t offset, std::span<uint8_t> out) {
    if (offset > file.size() || file.size() - offset < out.size()) return false;
    std::memcpy(out.data(), file.data() + offset, out.size());
    return true;
  };
  return ReadWavInfo(read_at);
}

}  // namespace kowaki::test
