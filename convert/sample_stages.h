#pragma once
// The four stages that work sample by sample, without memory of earlier
// calls: 8 <-> 16 bits and stereo <-> mono. A trailing partial unit of a
// span (half a sample, half a frame) is dropped, not kept for the next put.
// Each returns null without memory.

#include "convert/pcm_stage.h"

namespace kowaki {

// 8-bit unsigned to 16-bit signed: (b - 128) * 256.
PcmStagePtr new_widen_stage();
// Stereo to mono: (left + right + 1) / 2, truncated toward zero.
PcmStagePtr new_downmix_stage();
// Mono to stereo: the sample twice.
PcmStagePtr new_upmix_stage();
// 16-bit signed to 8-bit unsigned: the nearest of the 256 levels, halves up.
PcmStagePtr new_narrow_stage();

}  // namespace kowaki
