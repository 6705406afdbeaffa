#pragma once
// Ogg Vorbis encoding as a stream: interleaved 16-bit PCM in, Ogg pages out
// to a sink as they fill, through libvorbisenc's VBR mode. One object holds
// the encoder's whole state and clears it when it goes. The same audio and
// set-up give the same bytes, however the audio is cut into writes.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "common/result.h"

namespace kowaki {

// The VBR quality range libvorbisenc takes: -0.1 (smallest) to 1 (best).
inline constexpr float kVorbisQualityMin = -0.1f;
inline constexpr float kVorbisQualityMax = 1.0f;
// oggenc's default, and the synthetic clips'.
inline constexpr float kVorbisDefaultQuality = 0.3f;

enum class VorbisError {
  kQuality,      // outside kVorbisQualityMin..kVorbisQualityMax, or not a number
  kUnsupported,  // libvorbisenc sets up no VBR mode for the rate and channel count
  kSink,         // the sink took no more bytes
  kFinished,     // audio after the end of the stream, or after a failure
};
using VorbisResult = Result<void, VorbisError>;

struct VorbisSetup {
  int32_t rate = 0;
  int32_t channels = 0;
  float quality = kVorbisDefaultQuality;
  int32_t serial = 1;              // of the Ogg stream
  const char* encoder = "kowaki";  // the ENCODER comment
};

// Takes the next bytes of the stream; false when it cannot, which ends
// the encoding with kSink.
using OggSink = std::function<bool(std::span<const uint8_t> bytes)>;

class VorbisEncoder {
 public:
  // Sets the encoder up and hands the pages of the three header packets to
  // `sink`. libvorbisenc would quietly take a quality above 1 as 1; here
  // a quality outside the range fails, so nothing is encoded at another
  // quality than asked.
  static Result<VorbisEncoder, VorbisError> Open(const VorbisSetup& setup, OggSink sink);

  VorbisEncoder(VorbisEncoder&&) noexcept;
  VorbisEncoder& operator=(VorbisEncoder&&) noexcept;
  ~VorbisEncoder();

  // Encodes little-endian 16-bit samples, interleaved, in whole frames (a
  // partial frame at the end is ignored); the pages that fill go to the
  // sink.
  VorbisResult Write(std::span<const uint8_t> pcm);
  // Ends the stream: encodes what was held back and hands out the last
  // pages, the last marked as the end.
  VorbisResult Finish();

  // Sample frames taken so far.
  int64_t frames() const { return frames_; }

 private:
  struct State;
  VorbisEncoder(std::unique_ptr<State> state, OggSink sink, int32_t channels);
  VorbisResult Drain();

  std::unique_ptr<State> state_;  // at a fixed place: libvorbis' structures point into it
  OggSink sink_;
  int32_t channels_ = 0;
  size_t held_ = 0;  // frames in the analysis buffer not yet handed over
  int64_t frames_ = 0;
  bool finished_ = false;
};

// The nominal bitrate (bits per second) libvorbisenc gives a stream of
// this rate and channel count at `quality`; 0 where it sets up none, or
// gives none (it names none for rates outside its tuned ones).
int64_t VorbisNominalBitrate(int32_t rate, int32_t channels, float quality);

}  // namespace kowaki
