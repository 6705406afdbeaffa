#include "jobs/spill_buffer.h"

#include <algorithm>
#include <cerrno>

#include "common/scratch_file.h"

namespace kowaki {

bool SpillBuffer::Write(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  const size_t room = spilled_ == 0 ? kMemoryBytes - memory_.size() : 0;
  const size_t kept = std::min(room, size);
  // Never more than the fixed amount, whatever the vector's growth would
  // make it; the pages come as they are written.
  if (memory_.capacity() == 0 && kept > 0) memory_.reserve(kMemoryBytes);
  memory_.insert(memory_.end(), bytes, bytes + kept);
  if (kept == size) return true;
  if (!scratch_) scratch_.reset(OpenScratchFile());
  if (!scratch_ || std::fwrite(bytes + kept, 1, size - kept, scratch_.get()) != size - kept) {
    return false;
  }
  spilled_ += size - kept;
  return true;
}

bool SpillBuffer::DrainTo(const std::function<bool(const uint8_t*, size_t)>& sink) {
  if (!memory_.empty() && !sink(memory_.data(), memory_.size())) return false;
  if (spilled_ == 0) return true;
  if (std::fflush(scratch_.get()) != 0 || std::fseek(scratch_.get(), 0, SEEK_SET) != 0) {
    return false;
  }
  std::vector<uint8_t> piece(static_cast<size_t>(std::min<uint64_t>(spilled_, 1 << 16)));
  for (uint64_t left = spilled_; left > 0;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left, piece.size()));
    if (std::fread(piece.data(), 1, want, scratch_.get()) != want) return false;
    if (!sink(piece.data(), want)) return false;
    left -= want;
  }
  return true;
}

}  // namespace kowaki
