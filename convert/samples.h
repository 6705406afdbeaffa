#pragma once
// 16-bit samples are signed little-endian wherever they sit in a byte run.

#include <cstdint>

#include "common/little_endian.h"

namespace kowaki {

inline int16_t LoadSample(const uint8_t* bytes) { return static_cast<int16_t>(ReadLe16(bytes)); }

// The low 16 bits of `value`, as the sample formats wrap.
inline void StoreSample(uint8_t* bytes, int32_t value) {
  WriteLe16(bytes, static_cast<uint32_t>(value));
}

}  // namespace kowaki
