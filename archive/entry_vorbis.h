#pragma once
// Opens an archive entry as an Ogg Vorbis stream: the entry stream handed to
// ov_open_callbacks with no initial bytes, ending with its last Ogg page.
// On success the decoder owns the stream and ov_clear closes it; on failure
// the stream is already closed.

// The header's static stdio callbacks are unused here.
#ifndef OV_EXCLUDE_STATIC_CALLBACKS
#define OV_EXCLUDE_STATIC_CALLBACKS
#endif
#include <vorbis/vorbisfile.h>

#include "archive/archive_index.h"
#include "archive/entry_stream.h"
#include "common/result.h"

namespace kowaki {

// Why an entry did not open as Ogg Vorbis.
enum class VorbisOpenError {
  kNoStream,    // the entry could not be opened as a stream, or not read
  kNotOgg,      // it does not start as Ogg data
  kNoLastPage,  // no whole Ogg page lies near its end (kPageWindow)
  kPageGap,     // the decoder, looking for a page, was handed kPageWindow bytes without one
  kRefused,     // the decoder found no Vorbis stream it takes there
};

Result<void, VorbisOpenError> OpenEntryVorbis(const ArchiveIndex* index, int32_t i,
                                              OggVorbis_File* vf);
// The same for a stream already open, which the decoder then owns; a
// stream it refuses is closed.
Result<void, VorbisOpenError> OpenStreamVorbis(EntryStreamPtr stream, OggVorbis_File* vf);

}  // namespace kowaki
