#include "archive/entry_vorbis.h"

#include <utility>

namespace kowaki {

Result<void, VorbisOpenError> OpenEntryVorbis(const ArchiveIndex* index, int32_t i,
                                              OggVorbis_File* vf) {
  EntryStreamPtr stream = OpenEntryStream(index, i);
  if (!stream) return VorbisOpenError::kNoStream;
  return OpenStreamVorbis(std::move(stream), vf);
}

Result<void, VorbisOpenError> OpenStreamVorbis(EntryStreamPtr stream, OggVorbis_File* vf) {
  const ov_callbacks callbacks = {EntryRead, EntrySeek, EntryClose, EntryTell};
  // A stream the decoder refuses stays ours, and goes with `stream`.
  if (ov_open_callbacks(stream.get(), vf, nullptr, 0, callbacks) != 0) {
    return VorbisOpenError::kRefused;
  }
  stream.release();  // ov_clear closes it now
  return {};
}

}  // namespace kowaki
