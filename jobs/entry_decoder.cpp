#include "jobs/entry_decoder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "archive/entry_stream.h"

namespace kowaki {

namespace {

// The 16-bit format of a link (-1: the current one); all zero when unknown.
PcmFormat LinkFormat(OggVorbis_File* vf, int link) {
  const vorbis_info* info = ov_info(vf, link);
  if (!info) return {};
  return MakePcmFormat(static_cast<uint32_t>(info->rate), static_cast<uint16_t>(info->channels),
                       16);
}

// What the jobs say of an entry that did not open.
EntryProblem OpenProblem(VorbisOpenError error, bool cut_short) {
  switch (error) {
    case VorbisOpenError::kNoStream:
      return EntryProblem::kReadFailed;
    case VorbisOpenError::kNoLastPage:
      // Cut by the archive's end before its first whole page, or damaged.
      return cut_short ? EntryProblem::kCutShort : EntryProblem::kNoLastPage;
    case VorbisOpenError::kPageGap:
      return EntryProblem::kPageGap;
    case VorbisOpenError::kNotOgg:
      return EntryProblem::kNotAudio;
    case VorbisOpenError::kRefused:
      break;
  }
  return EntryProblem::kNotVorbis;
}

}  // namespace

EntryDecoder::EntryDecoder(const ArchiveIndex* index, int32_t i) {
  if (!ArchiveUnchanged(index)) {
    problem_ = EntryProblem::kArchiveChanged;
    return;
  }
  EntryStreamPtr stream = OpenEntryStream(index, i);
  if (!stream) {
    problem_ = EntryProblem::kReadFailed;
    return;
  }
  cut_short_ = EntryCutShort(*stream);
  const Result<void, VorbisOpenError> opened = OpenStreamVorbis(std::move(stream), &vf_);
  if (!opened) {
    problem_ = OpenProblem(opened.failure(), cut_short_);
    return;
  }
  open_ = true;
  if (ov_streams(&vf_) > 1) ov_pcm_seek(&vf_, 0);
  format_ = LinkFormat(&vf_, -1);
}

EntryDecoder::~EntryDecoder() {
  if (open_) ov_clear(&vf_);
}

EntryDecoder::Block EntryDecoder::Read(std::span<uint8_t> buffer) {
  const int size = static_cast<int>(std::min<size_t>(buffer.size(), INT_MAX));
  for (;;) {
    int bitstream = 0;
    const bool filtered = filter_.gain != 1 || filter_.track_peak;
    const long n = ov_read_filter(&vf_, reinterpret_cast<char*>(buffer.data()), size, 0, 2, 1,
                                  &bitstream, filtered ? &EntryDecoder::Apply : nullptr, &filter_);
    if (n == OV_HOLE) {
      ++damage_;
      continue;
    }
    if (n < 0 && n != OV_EREAD) ++damage_;
    if (n <= 0) return {0, false, n == OV_EREAD};
    Block block{static_cast<size_t>(n), false};
    if (bitstream != link_) {
      link_ = bitstream;
      // A link the decoder cannot describe keeps the format before it.
      const PcmFormat next = LinkFormat(&vf_, link_);
      if (next.block_align != 0 &&
          (next.samples_per_sec != format_.samples_per_sec || next.channels != format_.channels)) {
        format_ = next;
        block.format_changed = true;
      }
    }
    return block;
  }
}

bool EntryDecoder::Seek(int64_t frame) { return open_ && ov_pcm_seek(&vf_, frame) == 0; }

int64_t EntryDecoder::Tell() { return open_ ? ov_pcm_tell(&vf_) : 0; }

// Locals, not the filter's members, in the loops: the samples are floats
// too, so each store through them would otherwise reload the members.
void EntryDecoder::Apply(float** pcm, long channels, long samples, void* filter) {
  auto& f = *static_cast<Filter*>(filter);
  const float gain = f.gain;
  float peak = f.peak;
  for (long c = 0; c < channels; ++c) {
    float* const samples_of = pcm[c];
    if (f.track_peak) {
      for (long i = 0; i < samples; ++i) peak = std::max(peak, std::fabs(samples_of[i]));
    }
    if (gain != 1) {
      for (long i = 0; i < samples; ++i) samples_of[i] *= gain;
    }
  }
  f.peak = peak;
}

}  // namespace kowaki
