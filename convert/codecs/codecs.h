#pragma once
// Our own codecs, a block at a time: IMA ADPCM, Microsoft ADPCM, G.711
// mu-law and A-law, to and from interleaved 16-bit little-endian PCM.
//
// Every format is seen as blocks of `block_bytes`: a header of
// `header_bytes` holding the first `header_frames` frames, then groups of
// `group_bytes` holding `group_frames` frames each. A G.711 block is one
// frame of one byte per channel.

#include <cstdint>

#include "convert/pcm_format.h"

namespace kowaki::codecs {

inline constexpr int32_t kMaxCoefficients = (kMaxFormatExtra - 4) / 4;

struct BlockLayout {
  uint16_t tag;
  int32_t channels;
  int32_t block_bytes;
  int32_t block_frames;
  int32_t header_bytes;
  int32_t header_frames;
  int32_t group_bytes;
  int32_t group_frames;
  // Microsoft ADPCM's predictor pairs, in 1/256.
  int32_t coefficient_count;
  int32_t coefficients[kMaxCoefficients][2];
};

// False unless `format` is one of the four codecs with the block structure
// its definition gives: block align, samples per block and the coefficient
// table in the extra bytes, one or two channels for ADPCM.
bool ReadLayout(const PcmFormat& format, BlockLayout* layout);

// The frames the first `bytes` of a block hold (at most a block's), and
// the bytes those frames take.
int32_t FramesIn(const BlockLayout& layout, int32_t bytes);
int32_t BytesOfFrames(const BlockLayout& layout, int32_t frames);

// Decodes the FramesIn(bytes) frames of a block's first `bytes`: a whole
// block, or what there is of a last one. False when a block header is
// malformed (a step index or predictor out of range).
bool DecodeBlock(const BlockLayout& layout, const uint8_t* in, int32_t bytes, uint8_t* out);

// What an encoder carries from block to block: IMA ADPCM's step indexes.
struct EncoderState {
  int32_t step_index[2] = {};
};

// Encodes `frames` frames (1 to a block's; a short last block is filled
// up with copies of its last frame) into one whole block.
void EncodeBlock(const BlockLayout& layout, EncoderState* state, const uint8_t* in, int32_t frames,
                 uint8_t* out);

}  // namespace kowaki::codecs
