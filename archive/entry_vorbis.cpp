#include "archive/entry_vorbis.h"

#include <utility>

#include "archive/last_page.h"

namespace kowaki {

namespace {

// An Ogg entry's stream made to end with its last page, so that the
// decoder, looking for that page from the end, finds it in its first step.
Result<void, VorbisOpenError> EndAtLastPage(EntryStream* stream) {
  const Result<bool, OggScanError> ogg = StartsAsOgg(*stream);
  if (!ogg) return VorbisOpenError::kNoStream;
  if (!*ogg) return VorbisOpenError::kNotOgg;
  const Result<LastPage, OggScanError> last = FindLastPage(*stream);
  if (!last) {
    return last.failure() == OggScanError::kNoPage ? VorbisOpenError::kNoLastPage
                                                   : VorbisOpenError::kNoStream;
  }
  stream->end = last->end;
  return {};
}

}  // namespace

Result<void, VorbisOpenError> OpenEntryVorbis(const ArchiveIndex* index, int32_t i,
                                              OggVorbis_File* vf) {
  EntryStreamPtr stream = OpenEntryStream(index, i);
  if (!stream) return VorbisOpenError::kNoStream;
  return OpenStreamVorbis(std::move(stream), vf);
}

Result<void, VorbisOpenError> OpenStreamVorbis(EntryStreamPtr stream, OggVorbis_File* vf) {
  if (auto ended = EndAtLastPage(stream.get()); !ended) return ended;
  const ov_callbacks callbacks = {EntryRead, EntrySeek, EntryClose, EntryTell};
  // A stream the decoder refuses stays ours, and goes with `stream`.
  if (ov_open_callbacks(stream.get(), vf, nullptr, 0, callbacks) != 0) {
    return stream->search_refused ? VorbisOpenError::kPageGap : VorbisOpenError::kRefused;
  }
  stream.release();  // ov_clear closes it now
  return {};
}

}  // namespace kowaki
