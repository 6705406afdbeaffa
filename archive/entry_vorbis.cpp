#include "archive/entry_vorbis.h"

#include "archive/entry_stream.h"

namespace kowaki {

int OpenEntryVorbis(const ArchiveIndex* index, int32_t i, OggVorbis_File* vf) {
  EntryStream* stream = OpenEntryStream(index, i);
  if (!stream) return -1;
  return OpenStreamVorbis(stream, vf);
}

int OpenStreamVorbis(EntryStream* stream, OggVorbis_File* vf) {
  const ov_callbacks callbacks = {EntryRead, EntrySeek, EntryClose, EntryTell};
  int result = ov_open_callbacks(stream, vf, nullptr, 0, callbacks);
  if (result != 0) EntryClose(stream);
  return result;
}

}  // namespace kowaki
