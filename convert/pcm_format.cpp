#include "convert/pcm_format.h"

namespace kowaki {

PcmFormat MakePcmFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
  const auto block_align = static_cast<uint16_t>(channels * (bits / 8));
  return PcmFormat{kFormatPcm, channels, rate, rate * block_align, block_align, bits, 0};
}

}  // namespace kowaki
