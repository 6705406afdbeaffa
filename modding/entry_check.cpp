#include "modding/entry_check.h"

#include <array>
#include <cerrno>

#include "jobs/entry_decoder.h"

namespace kowaki {

EntryCheck CheckEntry(const ArchiveIndex* index, int32_t i) {
  EntryCheck check;
  errno = 0;
  EntryDecoder decoder(index, i);
  if (!decoder.is_open()) {
    check.problems.Add(decoder.problem());
    check.facts.system_error = errno;
    return check;
  }
  ProblemFacts& facts = check.facts;
  facts.expected = ov_pcm_total(decoder.vorbis(), -1);
  std::array<uint8_t, 8192> buffer;
  for (;;) {
    const EntryDecoder::Block block = decoder.Read(buffer);
    if (block.read_failed) {
      check.problems.Add(EntryProblem::kReadFailed);
      facts.system_error = errno;
    }
    if (block.length == 0) break;
    const uint32_t frame = decoder.format().block_align;
    if (frame) facts.decoded += static_cast<int64_t>(block.length / frame);
  }
  facts.damage = decoder.damage();
  if (facts.damage) check.problems.Add(EntryProblem::kDamaged);
  // The last page read ends the stream only when it says so: without it
  // the stream was cut, whatever the index claims.
  if (!decoder.whole()) check.problems.Add(EntryProblem::kCutShort);
  if (facts.expected >= 0 && facts.decoded != facts.expected) {
    check.problems.Add(EntryProblem::kLengthDiffers);
  }
  if (!ArchiveUnchanged(index)) check.problems.Add(EntryProblem::kArchiveChanged);
  return check;
}

EntryCheck CheckClipFile(const ArchiveIndex* file) {
  EntryCheck check = CheckEntry(file, 0);
  if (check.problems.Has(EntryProblem::kNotAudio)) {
    check.problems = {};
    check.problems.Add(EntryProblem::kNotVorbis);
  }
  return check;
}

std::optional<ClipShape> ShapeOfEntry(const ArchiveIndex* index, int32_t i) {
  EntryDecoder decoder(index, i);
  const vorbis_info* info = decoder.is_open() ? ov_info(decoder.vorbis(), 0) : nullptr;
  if (!info) return std::nullopt;
  // A stream that names no nominal bitrate still has an average one.
  const int64_t bitrate =
      info->bitrate_nominal > 0 ? info->bitrate_nominal : ov_bitrate(decoder.vorbis(), 0);
  return ClipShape{static_cast<uint32_t>(info->rate), static_cast<uint16_t>(info->channels),
                   ov_pcm_total(decoder.vorbis(), -1), bitrate};
}

}  // namespace kowaki
