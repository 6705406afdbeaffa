#include "jobs/entry_decoder.h"

namespace kowaki {

int OpenEntryDecoder(const ArchiveIndex* index, int32_t i, OggVorbis_File* vf) {
  const int result = OpenEntryVorbis(index, i, vf);
  if (result == 0 && ov_streams(vf) > 1) ov_pcm_seek(vf, 0);
  return result;
}

}  // namespace kowaki
