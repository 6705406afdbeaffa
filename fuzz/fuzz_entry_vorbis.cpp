// Any bytes as one entry of a valid archive, placed between two neighbours
// so that reading past the entry's bounds would reach foreign bytes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/archive_writer.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kowaki::ArchiveWriter writer;
  if (writer.AddBytes("before", std::string(64, 'B')) &&
      writer.AddBytes("clip", std::string(reinterpret_cast<const char*>(data), size)) &&
      writer.AddBytes("after", "OggS" + std::string(60, 'A')) &&
      writer.Write(kowaki::fuzz::ScratchPath())) {
    kowaki::fuzz::ExerciseArchive(kowaki::fuzz::ScratchPath());
  }
  return 0;
}
