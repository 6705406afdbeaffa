#pragma once
// Surround to stereo: 3 to 8 channels mixed into left and right with the
// usual coefficients (centre and surrounds at -3 dB, the LFE left out),
// scaled so that a full-scale input cannot clip. Channel roles follow the
// order the source uses; more than 8 channels have no usual layout.

#include <cstdint>

#include "convert/pcm_stage.h"

namespace kowaki {

enum class ChannelOrder {
  kWave,    // WAV files: FL FR FC LFE BL BR SL SR (the masks' order)
  kVorbis,  // Ogg Vorbis: FL FC FR, then the surrounds, the LFE last
};

inline constexpr int32_t kMaxMixdownChannels = 8;

// 16-bit frames of `channels` (3 to 8) to 16-bit stereo; null for another
// count or without memory.
PcmStagePtr new_mixdown_stage(int32_t channels, ChannelOrder order);

}  // namespace kowaki
