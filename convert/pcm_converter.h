#pragma once
// Converts a stream of audio from one PcmFormat to another through a chain
// of stages planned by `setup`: at most codec decode, 8 -> 16 bits,
// surround -> stereo, stereo -> mono, resampling, mono -> stereo, 16 -> 8
// bits, codec encode, in that order. Calling order: create, setup, put/get pairs, flush, get,
// destroy. The bytes a `get` hands out stay valid until the next put,
// flush, setup or destroy.
//
// Every operation first checks that the object still begins with its two
// magic words (0x5F4D4341, 0x4741545F: "ACM__TAG" in memory); on an object
// that does not, it fails (PcmError::kNotConverter) and touches nothing.

#include <cstdint>
#include <memory>
#include <type_traits>

#include "convert/byte_buffer.h"
#include "convert/pcm_format.h"
#include "convert/pcm_stage.h"
#include "convert/surround_mixdown.h"

namespace kowaki {

class PcmConverter;
struct PcmConverterDeleter {
  void operator()(PcmConverter* converter) const;
};
using PcmConverterPtr = std::unique_ptr<PcmConverter, PcmConverterDeleter>;

class PcmConverter {
 public:
  // Null without memory. No chain and no output buffer until setup.
  static PcmConverterPtr create();

  PcmConverter(const PcmConverter&) = delete;
  PcmConverter& operator=(const PcmConverter&) = delete;

  // Destroys the stages and frees the converter.
  void destroy();
  // Plans the chain from `source` to `target`, discarding any earlier chain
  // and pending output. Fails with kNoChain (leaving the converter as
  // created) when the chain cannot be built: both formats codecs, a codec
  // format without block align, PCM other than 8 or 16 bits, a channel
  // change other than stereo <-> mono or 3 to 8 channels to stereo or mono
  // (their roles in `order`), a rate the resampler refuses, no codec, no
  // memory for a stage. A codec format is followed by its extra bytes (a
  // WaveFormat).
  PcmResult setup(const PcmFormat& source, const PcmFormat& target,
                  ChannelOrder order = ChannelOrder::kWave);
  // Runs `in` through the chain and appends the result to the pending
  // output; fails as the stage that failed.
  PcmResult put(PcmSpan in);
  // Hands out the pending output and empties it.
  Result<PcmSpan, PcmError> get();
  // End of stream: appends what the stages held back.
  PcmResult flush();

 private:
  static constexpr int32_t kMaxStages = 7;

  PcmConverter();
  ~PcmConverter();
  bool Intact() const;
  void Reset();
  bool Plan(const PcmFormat& source, const PcmFormat& target, ChannelOrder order);
  bool Append(PcmStagePtr stage);
  // Appends the chain's output to what `get` hands out next.
  PcmResult Pending(PcmSpan span);

  uint32_t magic_[2];
  PcmStage* chain_[kMaxStages];  // owned; the first stage_count_ are in use
  int32_t stage_count_;
  ByteBuffer out_;
};
// The magic words lead the object.
static_assert(std::is_standard_layout_v<PcmConverter>);

inline void PcmConverterDeleter::operator()(PcmConverter* converter) const { converter->destroy(); }

}  // namespace kowaki
