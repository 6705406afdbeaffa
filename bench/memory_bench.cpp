// The export's peak memory on every hardware thread, with ten-minute clips
// and with the 600-clip archive, per file and merged, against the bound
// that the export keeps: at most two entries per worker are in flight,
// each holding at most 1 MiB of converted audio in memory (the rest waits
// in a scratch file) and at most 1 MiB of decoder, converter and file
// buffers. A ten-second clip is measured beside them for scale.
//
// The peak is the process's resident high-water mark (reset through
// /proc/self/clear_refs before each run) less what was resident before,
// reported as the benchmark's time at one nanosecond per byte so that the
// ratio of two is the ratio of their sizes. Runs in a process of its own:
// nothing else has grown the heap first.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "bench/bench_archives.h"
#include "settings/memory_store.h"

namespace {

namespace fs = std::filesystem;
using kowaki::bench::Scratch;

// The named value of /proc/self/status, in bytes; -1 when it cannot be read.
int64_t StatusBytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == key + ":") {
      int64_t kib = -1;
      status >> kib;
      return kib * 1024;
    }
  }
  return -1;
}

bool ResetPeak() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

const std::string& TenSeconds();

void PeakMemory(benchmark::State& state, const std::string& archive, bool merged) {
  // Code paged in, thread stacks and the heap's arenas made once, before
  // any run is measured.
  static const bool warm = [] {
    kowaki::bench::Session session(TenSeconds());
    kowaki::MemoryStore store;
    kowaki::SaveOutputSettings(store, {1, 22050, 1, 1});
    kowaki::ExportSetup setup;
    setup.settings = &store;
    kowaki::bench::ExportAll(session, setup, kowaki::bench::OutputFolders("warm").Next());
    return true;
  }();
  benchmark::DoNotOptimize(warm);
  kowaki::bench::Session session(archive);
  if (!session.state.index) return state.SkipWithError("no archive");
  kowaki::MemoryStore store;
  kowaki::SaveOutputSettings(store, {1, 22050, 1, merged ? 1 : 0});
  kowaki::ExportSetup setup;
  setup.settings = &store;
  kowaki::bench::OutputFolders outs("peak");
  for (auto _ : state) {
    const fs::path out = outs.Next();
    if (!ResetPeak()) return state.SkipWithError("the peak cannot be reset here");
    const int64_t before = StatusBytes("VmRSS");
    kowaki::bench::ExportAll(session, setup, out);
    const int64_t grown = StatusBytes("VmHWM") - before;
    state.SetIterationTime(static_cast<double>(grown) * 1e-9);
    state.counters["peak_growth_KiB"] = static_cast<double>(grown) / 1024;
  }
}

const std::string& TenSeconds() {
  static const std::string archive = kowaki::bench::MakeArchive(
      "ten-seconds.arc", {{"short", kowaki::bench::Clip(44100, 2, 10, 200)}});
  return archive;
}

// Four of them, so that every worker has one and three wait their turn.
const std::string& TenMinutes() {
  static const std::string archive = [] {
    const std::string name = "ten-minutes.arc";
    if (fs::exists(Scratch() / name)) return kowaki::bench::MakeArchive(name, {});
    const std::string clip = kowaki::bench::Clip(44100, 2, 600, 200);
    return kowaki::bench::MakeArchive(
        name, {{"long_1", clip}, {"long_2", clip}, {"long_3", clip}, {"long_4", clip}});
  }();
  return archive;
}

int32_t Workers() { return std::max(1u, std::thread::hardware_concurrency()); }

void PeakMemory_Baseline(benchmark::State& state) {
  constexpr double kPerEntry = 2.0 * (1 << 20);
  const double bound = 2 * Workers() * kPerEntry;
  for (auto _ : state) state.SetIterationTime(bound * 1e-9);
  state.SetLabel("the bound");
  state.counters["bound_KiB"] = bound / 1024;
}
BENCHMARK(PeakMemory_Baseline)->UseManualTime()->Iterations(1);

void PeakMemory_TenSeconds(benchmark::State& state) { PeakMemory(state, TenSeconds(), false); }
BENCHMARK(PeakMemory_TenSeconds)->UseManualTime()->Iterations(1);

void PeakMemory_TenMinutes(benchmark::State& state) {
  PeakMemory(state, TenMinutes(), false);
  state.counters["goal_ratio"] = 1.0;
}
BENCHMARK(PeakMemory_TenMinutes)->UseManualTime()->Iterations(1);

void PeakMemory_TenMinutesMerged(benchmark::State& state) {
  PeakMemory(state, TenMinutes(), true);
  state.counters["goal_ratio"] = 1.0;
}
BENCHMARK(PeakMemory_TenMinutesMerged)->UseManualTime()->Iterations(1);

void PeakMemory_Voices600(benchmark::State& state) {
  PeakMemory(state, kowaki::bench::VoiceArchive(), false);
  state.counters["goal_ratio"] = 1.0;
}
BENCHMARK(PeakMemory_Voices600)->UseManualTime()->Iterations(1);

void PeakMemory_Voices600Merged(benchmark::State& state) {
  PeakMemory(state, kowaki::bench::VoiceArchive(), true);
  state.counters["goal_ratio"] = 1.0;
}
BENCHMARK(PeakMemory_Voices600Merged)->UseManualTime()->Iterations(1);

}  // namespace
