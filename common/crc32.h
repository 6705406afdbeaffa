#pragma once
// CRC-32 as zip, PNG and cksum -a crc32b compute it: what an unpack
// manifest records of each file, so a changed file is told from one left
// as it was.

#include <cstddef>
#include <cstdint>

namespace kowaki {

// Continues `crc` (0 to begin) over `size` bytes.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

}  // namespace kowaki
