// Loading the largest possible index, against reading the same bytes with
// one read into one fresh allocation.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "archive/archive_file.h"
#include "archive/archive_index.h"
#include "archive/archive_writer.h"

namespace {

using kowaki::kArchiveMaxEntries;

// A header and a full table of 1,048,576 empty entries, written once.
const std::string& LargestArchive() {
  static const std::string path = [] {
    std::string p = (std::filesystem::temp_directory_path() / "kowaki-bench-largest.arc").string();
    kowaki::ArchiveWriter writer;
    char name[9];
    kowaki::Result<> made;
    for (uint32_t i = 0; i < kArchiveMaxEntries && made; ++i) {
      std::snprintf(name, sizeof name, "%08x", i);
      made = writer.AddBytes(name, "");
    }
    if (made) made = writer.Write(p);
    if (!made) std::fprintf(stderr, "archive_bench: %s\n", made.failure().text.c_str());
    return p;
  }();
  return path;
}

void LoadIndex_Baseline(benchmark::State& state) {
  const std::string& path = LargestArchive();
  const size_t size =
      kowaki::kArchiveHeaderSize + size_t{kArchiveMaxEntries} * kowaki::kArchiveRecordSize;
  for (auto _ : state) {
    void* block = std::malloc(size);
    int fd = kowaki::archive_file::OpenShared(path.c_str());
    benchmark::DoNotOptimize(kowaki::archive_file::Read(fd, block, size));
    kowaki::archive_file::Close(fd);
    std::free(block);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(LoadIndex_Baseline)->Unit(benchmark::kMillisecond);

void LoadIndex_Loader(benchmark::State& state) {
  const std::string& path = LargestArchive();
  for (auto _ : state) {
    if (!kowaki::LoadArchiveIndex(path.c_str())) {
      state.SkipWithError("the archive did not load");
      break;
    }
  }
  state.counters["goal_ratio"] = 2.0;
}
BENCHMARK(LoadIndex_Loader)->Unit(benchmark::kMillisecond);

}  // namespace
