#include "modding/entry_check.h"

#include <array>
#include <cerrno>

#include "jobs/entry_decoder.h"

namespace kowaki {

namespace {

uint8_t ProblemOfOpening(EntryProblem problem) {
  switch (problem) {
    case EntryProblem::kArchiveChanged:
      return EntryCheck::kArchiveChanged;
    case EntryProblem::kReadFailed:
      return EntryCheck::kReadFailed;
    default:
      return EntryCheck::kNotVorbis;
  }
}

}  // namespace

EntryCheck CheckEntry(const ArchiveIndex* index, int32_t i) {
  EntryCheck check;
  errno = 0;
  EntryDecoder decoder(index, i);
  if (!decoder.is_open()) {
    check.problems = ProblemOfOpening(decoder.problem());
    check.system_error = errno;
    return check;
  }
  check.expected = ov_pcm_total(decoder.vorbis(), -1);
  std::array<uint8_t, 8192> buffer;
  for (;;) {
    const EntryDecoder::Block block = decoder.Read(buffer);
    if (block.read_failed) {
      check.problems |= EntryCheck::kReadFailed;
      check.system_error = errno;
    }
    if (block.length == 0) break;
    const uint32_t frame = decoder.format().block_align;
    if (frame) check.decoded += static_cast<int64_t>(block.length / frame);
  }
  check.damage = decoder.damage();
  if (check.damage) check.problems |= EntryCheck::kDamaged;
  // The last page read ends the stream only when it says so: without it
  // the stream was cut, whatever the index claims.
  if (decoder.cut_short() || !decoder.vorbis()->os.e_o_s) check.problems |= EntryCheck::kCutShort;
  if (check.expected >= 0 && check.decoded != check.expected) {
    check.problems |= EntryCheck::kLengthDiffers;
  }
  if (!ArchiveUnchanged(index)) check.problems |= EntryCheck::kArchiveChanged;
  return check;
}

}  // namespace kowaki
