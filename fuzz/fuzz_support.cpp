#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>

#include "archive/archive_index.h"
#include "archive/entry_stream.h"
#include "archive/entry_vorbis.h"

namespace kowaki::fuzz {

namespace {

constexpr int kMaxEntries = 16;
constexpr long kMaxDecodedBytes = 1 << 20;

void ReadAsStream(const ArchiveIndex* index, int32_t i) {
  const EntryStreamPtr owned = OpenEntryStream(index, i);
  if (!owned) return;
  EntryStream* stream = owned.get();
  char buffer[8192];
  // The export copy: item size 1 until the result is not positive.
  while (static_cast<long>(EntryRead(buffer, 1, sizeof buffer, stream)) > 0) {
  }
  EntrySeek(stream, 0, SEEK_SET);
  EntryRead(buffer, 4, sizeof buffer / 4, stream);
  EntrySeek(stream, -3, SEEK_END);
  EntryRead(buffer, 4, 2, stream);
  EntryTell(stream);
}

void Decode(const ArchiveIndex* index, int32_t i) {
  OggVorbis_File vf;
  if (!OpenEntryVorbis(index, i, &vf)) return;
  ov_info(&vf, -1);
  ov_time_total(&vf, -1);
  ov_pcm_total(&vf, -1);
  char pcm[8192];
  int section;
  long total = 0, n;
  while (total < kMaxDecodedBytes && (n = ov_read(&vf, pcm, sizeof pcm, 0, 2, 1, &section)) != 0) {
    if (n > 0)
      total += n;
    else if (n != OV_HOLE)
      break;
  }
  ov_clear(&vf);
}

}  // namespace

const std::string& ScratchPath() {
  static const std::string path = "/tmp/kowaki-fuzz-" + std::to_string(getpid()) + ".arc";
  return path;
}

bool WriteScratch(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(data, 1, size, file) == size;
  return (std::fclose(file) == 0) && ok;
}

void ExerciseArchive(const std::string& path) {
  const ArchiveLoad loaded = LoadArchiveIndex(path.c_str());
  if (!loaded) return;
  const ArchiveIndex* index = loaded->get();
  for (int32_t i = 0; i < index->count && i < kMaxEntries; ++i) {
    ReadAsStream(index, i);
    Decode(index, i);
  }
}

}  // namespace kowaki::fuzz
