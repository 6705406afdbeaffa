#pragma once
// Opens an archive entry for decoding at its first sample. After opening an
// entry of chained streams the decoder stands at a later link, so it would
// report that link's format and skip the audio before it; such an entry is
// wound back to its start.

#include "archive/entry_vorbis.h"

namespace kowaki {

// As OpenEntryVorbis: 0 on success, the decoder then owning the stream.
int OpenEntryDecoder(const ArchiveIndex* index, int32_t i, OggVorbis_File* vf);

}  // namespace kowaki
