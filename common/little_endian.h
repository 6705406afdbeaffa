#pragma once
// Little-endian integers in byte runs, whatever the host's byte order: the
// archive's index, RIFF WAVE headers, wave format extra bytes and 16-bit
// samples are all stored this way.

#include <cstdint>

namespace kowaki {

constexpr uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

constexpr uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The low 16 bits of `value`.
constexpr void WriteLe16(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

constexpr void WriteLe32(uint8_t* p, uint32_t value) {
  WriteLe16(p, value);
  WriteLe16(p + 2, value >> 16);
}

}  // namespace kowaki
