// Damaged entries, at their worst for the decoder: a clip's first two
// pages followed by a long run of zeros (a damaged or sparse file), and two
// links of chained streams with such a run between them, each beside a
// whole clip. The listing, verify's check and a WAV export of each archive,
// at two lengths, against reading the archive's bytes once: a command's
// time grows at most as the archive's bytes do.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_file.h"
#include "bench/bench_archives.h"
#include "modding/entry_check.h"
#include "settings/memory_store.h"
#include "tools/synth.h"

namespace {

namespace fs = std::filesystem;
using kowaki::bench::Clip;
using kowaki::bench::Scratch;
using kowaki::bench::Session;

constexpr int64_t kMiB = 1 << 20;

// A whole clip, then the damaged entry with `mib` MiB of zeros.
std::string Damaged(bool chained, int64_t mib) {
  const std::string name = (chained ? "gap-" : "tail-") + std::to_string(mib) + ".arc";
  if (fs::exists(Scratch() / name)) return kowaki::bench::MakeArchive(name, {});
  const std::string clip = Clip(22050, 1, 3.0, 180.0);
  const std::string zeros(static_cast<size_t>(mib * kMiB), '\0');
  // The second link needs a serial number of its own.
  const auto second = kowaki::synth::Voice(44100, 2, 2.0, 220.0);
  const std::string damaged =
      chained ? clip + zeros + kowaki::synth::EncodeVorbis(second, 2, 44100, 0.3f, 2)
              : clip.substr(0, clip.find("OggS", clip.find("OggS", 1) + 1)) + zeros;
  return kowaki::bench::MakeArchive(name, {{"whole", clip}, {"damaged", damaged}});
}

// Reading every byte of the archive once, in 1 MiB blocks.
void ReadOnce(benchmark::State& state, const std::string& path) {
  std::vector<char> block(kMiB);
  for (auto _ : state) {
    kowaki::archive_file::Handle file(kowaki::archive_file::OpenShared(path.c_str()));
    int64_t total = 0;
    for (int64_t n; (n = kowaki::archive_file::ReadAt(file.fd(), static_cast<uint64_t>(total),
                                                      block.data(), block.size())) > 0;) {
      total += n;
    }
    benchmark::DoNotOptimize(total);
  }
}

void List(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    Session session(path);
    if (session.window.list().rows().empty()) state.SkipWithError("the whole entry was not listed");
  }
  state.counters["goal_ratio"] = 1.0;
}

// What verify does with each entry.
void Verify(benchmark::State& state, const std::string& path) {
  const kowaki::ArchiveIndexPtr index = kowaki::LoadArchiveIndex(path.c_str()).value_or(nullptr);
  if (!index) return state.SkipWithError("no archive");
  for (auto _ : state) {
    const bool whole = kowaki::CheckEntry(index.get(), 0).ok();
    benchmark::DoNotOptimize(kowaki::CheckEntry(index.get(), 1));
    if (!whole) state.SkipWithError("the whole entry did not decode whole");
  }
  state.counters["goal_ratio"] = 1.0;
}

// Listed, then written as WAV, as kowaki-cli export runs.
void Export(benchmark::State& state, const std::string& path) {
  kowaki::MemoryStore store;
  kowaki::SaveOutputSettings(store, {1, -1, -1, 0});
  kowaki::ExportSetup setup;
  setup.settings = &store;
  kowaki::bench::OutputFolders outs("damaged-out");
  for (auto _ : state) {
    Session session(path);
    const kowaki::ExportResult result = kowaki::bench::ExportAll(session, setup, outs.Next());
    if (result.succeeded == 0) state.SkipWithError("the whole entry was not written");
  }
  state.counters["goal_ratio"] = 1.0;
}

void DamagedTail_Baseline(benchmark::State& state) {
  ReadOnce(state, Damaged(false, state.range(0)));
}
void DamagedTail_List(benchmark::State& state) { List(state, Damaged(false, state.range(0))); }
void DamagedTail_Verify(benchmark::State& state) { Verify(state, Damaged(false, state.range(0))); }
void DamagedTail_Export(benchmark::State& state) { Export(state, Damaged(false, state.range(0))); }
void ChainGap_Baseline(benchmark::State& state) { ReadOnce(state, Damaged(true, state.range(0))); }
void ChainGap_List(benchmark::State& state) { List(state, Damaged(true, state.range(0))); }
void ChainGap_Verify(benchmark::State& state) { Verify(state, Damaged(true, state.range(0))); }
void ChainGap_Export(benchmark::State& state) { Export(state, Damaged(true, state.range(0))); }

#define DAMAGED_BENCHMARK(name) \
  BENCHMARK(name)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond)->Iterations(3)

DAMAGED_BENCHMARK(DamagedTail_Baseline);
DAMAGED_BENCHMARK(DamagedTail_List);
DAMAGED_BENCHMARK(DamagedTail_Verify);
DAMAGED_BENCHMARK(DamagedTail_Export);
DAMAGED_BENCHMARK(ChainGap_Baseline);
DAMAGED_BENCHMARK(ChainGap_List);
DAMAGED_BENCHMARK(ChainGap_Verify);
DAMAGED_BENCHMARK(ChainGap_Export);

}  // namespace
