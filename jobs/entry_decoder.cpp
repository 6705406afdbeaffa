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

}  // namespace

// The fewest bytes an Ogg page takes; an entry of fewer holds no stream.
constexpr uint32_t kOggPageHeaderSize = 27;

EntryDecoder::EntryDecoder(const ArchiveIndex* index, int32_t i) {
  if (index && i >= 0 && i < index->count && index->entries[i].size < kOggPageHeaderSize) {
    problem_ = EntryProblem::kNotVorbis;
    return;
  }
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
  open_ = static_cast<bool>(OpenStreamVorbis(std::move(stream), &vf_));
  if (!open_) {
    problem_ = EntryProblem::kNotVorbis;
    return;
  }
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

void EntryDecoder::Apply(float** pcm, long channels, long samples, void* filter) {
  auto& f = *static_cast<Filter*>(filter);
  for (long c = 0; c < channels; ++c) {
    float* const samples_of = pcm[c];
    for (long i = 0; i < samples; ++i) {
      if (f.track_peak) f.peak = std::max(f.peak, std::fabs(samples_of[i]));
      samples_of[i] *= f.gain;
    }
  }
}

}  // namespace kowaki
