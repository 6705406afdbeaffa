#pragma once
// An archive entry opened for decoding, read as blocks of 16-bit PCM. The
// jobs share it: it steps over holes, and tells when a link of chained
// streams changes rate or channels. After opening an entry of chained
// streams the decoder stands at a later link, so it would report that
// link's format and skip the audio before it; such an entry is wound back
// to its start.

#include <cstddef>
#include <cstdint>
#include <span>

#include "archive/entry_vorbis.h"
#include "convert/pcm_format.h"
#include "jobs/entry_outcome.h"

namespace kowaki {

class EntryDecoder {
 public:
  // Opens entry `i` of `index`; `is_open()` says whether it is an Ogg
  // Vorbis stream that the decoder took, `problem()` why not. An archive
  // written to since it was loaded opens nothing.
  EntryDecoder(const ArchiveIndex* index, int32_t i);
  // Clears the decoder, which closes the entry's stream.
  ~EntryDecoder();
  EntryDecoder(const EntryDecoder&) = delete;
  EntryDecoder& operator=(const EntryDecoder&) = delete;

  bool is_open() const { return open_; }
  EntryProblem problem() const { return problem_; }
  // The entry claims bytes beyond the archive's end: what decodes is only
  // its beginning.
  bool cut_short() const { return cut_short_; }
  // Once Read gave the end: whether the stream ended with its end-of-stream
  // page, the archive's end cutting none of it. Otherwise its data ended
  // (or a decoding error ended it) before the stream did.
  bool whole() const { return !cut_short_ && vf_.os.e_o_s; }
  OggVorbis_File* vorbis() { return &vf_; }
  // Scales the decoded audio by `gain` before its rounding to 16 bits (the
  // decoder's own rounding: no second one). 1 leaves the samples as they are.
  void SetGain(float gain) { filter_.gain = gain; }
  // Keeps the largest magnitude of the decoded audio before that rounding
  // (1.0: full scale), for a gain that must not clip there.
  void TrackPeak() { filter_.track_peak = true; }
  float peak() const { return filter_.peak; }
  // Damaged places met so far: pages the decoder stepped over, and a
  // decoding error that ended the entry.
  int damage() const { return damage_; }
  // The 16-bit format of the link being read (before the first read: of
  // the current one); all zero when the decoder knows none.
  const PcmFormat& format() const { return format_; }

  struct Block {
    size_t length = 0;            // bytes read; 0 at the end of the entry
    bool format_changed = false;  // the block starts a link in another format
    bool read_failed = false;     // the end came from a failed read of the archive
  };
  // The next block, at most `buffer.size()` bytes (a whole number of
  // frames for ov_read). A damaged page the decoder stepped over is no end:
  // the audio goes on after it. Any other decoding error ends the entry
  // like its end; a failed read says so.
  Block Read(std::span<uint8_t> buffer);
  // Moves to sample frame `frame` of the entry (of all its links), where
  // the next block starts; false when the decoder cannot go there. The
  // frame the next block starts at, either way.
  bool Seek(int64_t frame);
  int64_t Tell();

 private:
  OggVorbis_File vf_;
  bool open_ = false;
  bool cut_short_ = false;
  EntryProblem problem_ = EntryProblem::kNone;
  int link_ = -1;
  int damage_ = 0;
  PcmFormat format_{};
  struct Filter {
    float gain = 1;
    bool track_peak = false;
    float peak = 0;
  } filter_;
  static void Apply(float** pcm, long channels, long samples, void* filter);
};

}  // namespace kowaki
