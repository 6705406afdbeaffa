#pragma once
// 16-bit samples are signed little-endian wherever they sit in a byte run;
// these read and write them on any host.

#include <cstdint>

namespace kowaki {

inline int16_t LoadSample(const uint8_t* bytes) {
  return static_cast<int16_t>(bytes[0] | bytes[1] << 8);
}

inline void StoreSample(uint8_t* bytes, int32_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace kowaki
