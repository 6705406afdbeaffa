#pragma once
// Opens an archive entry as an Ogg Vorbis stream: the entry stream handed to
// ov_open_callbacks with no initial bytes. On success the decoder owns the
// stream and ov_clear closes it; on failure the stream is already closed.

// The header's static stdio callbacks are unused here.
#ifndef OV_EXCLUDE_STATIC_CALLBACKS
#define OV_EXCLUDE_STATIC_CALLBACKS
#endif
#include <vorbis/vorbisfile.h>

#include "archive/archive_index.h"

namespace kowaki {

struct EntryStream;

// 0 on success; otherwise -1 when the entry cannot be opened as a stream,
// or the decoder's negative OV_ code.
int OpenEntryVorbis(const ArchiveIndex* index, int32_t i, OggVorbis_File* vf);
// The same for a stream already open, which the decoder then owns; a
// stream it refuses is closed.
int OpenStreamVorbis(EntryStream* stream, OggVorbis_File* vf);

}  // namespace kowaki
