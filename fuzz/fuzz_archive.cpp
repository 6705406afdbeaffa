// Any bytes as a whole archive file: the loader, then every entry.

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (kowaki::fuzz::WriteScratch(data, size)) {
    kowaki::fuzz::ExerciseArchive(kowaki::fuzz::ScratchPath());
  }
  return 0;
}
