#pragma once
// The codec stage: converts between a codec format and PCM through the
// system's audio codecs. Null when no codec can convert between the two
// formats.

#include "convert/pcm_format.h"
#include "convert/pcm_stage.h"

namespace kowaki {

PcmStagePtr new_acm_stage(const PcmFormat& input, const PcmFormat& output);

}  // namespace kowaki
