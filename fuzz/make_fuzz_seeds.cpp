// Writes the seed corpora: small archives for fuzz_archive, bare clips for
// fuzz_entry_vorbis.
//   make_fuzz_seeds ARCHIVE_DIR CLIP_DIR

#include <cstdio>
#include <string>

#include "archive/archive_writer.h"
#include "tools/synth.h"

namespace {

bool Save(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return (std::fclose(file) == 0) && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: make_fuzz_seeds ARCHIVE_DIR CLIP_DIR\n", stderr);
    return 2;
  }
  const std::string archives = argv[1], clips = argv[2];
  struct {
    int rate, channels;
    double seconds;
  } shapes[] = {{8000, 1, 0.2}, {44100, 2, 0.1}};
  kowaki::ArchiveWriter writer;
  bool ok = true;
  int serial = 1;
  for (const auto& shape : shapes) {
    auto pcm = kowaki::synth::Voice(shape.rate, shape.channels, shape.seconds, 200.0);
    std::string clip = kowaki::synth::EncodeVorbis(pcm, shape.channels, shape.rate, 0.0f, serial);
    ok = ok && Save(clips + "/clip" + std::to_string(serial) + ".ogg", clip);
    ok = ok && writer.AddBytes("clip" + std::to_string(serial), clip);
    ++serial;
  }
  ok = ok && writer.AddBytes("text", "not a clip");
  kowaki::Result<> written = kowaki::Failure{"cannot write"};
  if (ok) written = writer.Write(archives + "/voice.arc");
  kowaki::ArchiveWriter empty;
  if (written) written = empty.Write(archives + "/empty.arc");
  if (!written) std::fprintf(stderr, "make_fuzz_seeds: %s\n", written.failure().text.c_str());
  return written ? 0 : 1;
}
