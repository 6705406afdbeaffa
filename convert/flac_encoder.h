#pragma once
// FLAC encoding as a stream: interleaved 16-bit PCM in (surround in Vorbis's
// channel order, stored in FLAC's), FLAC bytes out to a sink. libFLAC makes
// the audio frames; the metadata in front of them is our own, so that it
// can be written again over the file's start once the stream has ended (its
// final STREAMINFO, and a cue sheet of tracks only known then) without
// libFLAC seeking in our file.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/result.h"

namespace kowaki {

// Track numbers of a non-CD cue sheet run from 1 to 254; 255 is its lead-out.
inline constexpr int32_t kFlacMaxCueTracks = 254;

enum class FlacError {
  kSetup,     // libFLAC refused the rate, channel count or set-up
  kCueSheet,  // more cue tracks than kFlacMaxCueTracks, or than room was kept for
  kSink,      // the sink took no more bytes
  kEncoder,   // libFLAC failed while encoding
  kFinished,  // audio after the end of the stream, or after a failure
};
using FlacResult = Result<void, FlacError>;

// libFLAC's compression levels. The default is one of its fast ones: a
// voice archive's FLAC export then costs about half as much again as its
// WAV export, and its files are some 8 % larger than at flac's default 5.
inline constexpr int32_t kFlacDefaultLevel = 1;
inline constexpr int32_t kFlacMaxLevel = 8;

struct FlacSetup {
  int32_t rate = 0;
  int32_t channels = 0;
  // Vorbis comments: field name and UTF-8 value, in this order.
  std::vector<std::pair<std::string, std::string>> tags;
  // Room kept in the metadata for a cue sheet of this many tracks.
  int32_t cue_tracks = 0;
  int32_t level = kFlacDefaultLevel;  // 0 (fastest) to kFlacMaxLevel (smallest)
};

using FlacSink = std::function<bool(std::span<const uint8_t> bytes)>;

class FlacEncoder {
 public:
  // Sets libFLAC up at the setup's level and hands the metadata to `sink`.
  static Result<FlacEncoder, FlacError> Open(const FlacSetup& setup, FlacSink sink);

  FlacEncoder(FlacEncoder&&) noexcept;
  FlacEncoder& operator=(FlacEncoder&&) noexcept;
  ~FlacEncoder();

  // Encodes little-endian 16-bit samples, interleaved; a frame may be
  // split between writes.
  FlacResult Write(std::span<const uint8_t> pcm);
  // Ends the stream and gives the metadata as it belongs over the start:
  // the same length as what was written first, with the final STREAMINFO
  // (length, MD5) and, where room was kept, a cue sheet with a track
  // starting at each of `track_starts` (sample frames, ascending).
  Result<std::vector<uint8_t>, FlacError> Finish(std::span<const uint64_t> track_starts);

  // Sample frames taken so far.
  uint64_t frames() const;

 private:
  struct State;
  explicit FlacEncoder(std::unique_ptr<State> state);

  std::unique_ptr<State> state_;  // at a fixed place: libFLAC's callbacks point to it
};

}  // namespace kowaki
