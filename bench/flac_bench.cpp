// The FLAC export of 600 spoken clips (71 minutes) at the source format
// against `flac` at the same compression level on the WAV export's files
// of the same entries. Both on one thread, timed by the processor time
// they take (flac's as a child's), so neighbours on a shared machine do
// not count; ours decodes the Ogg Vorbis too, flac only reads the WAV
// files. The WAV export on one worker shows the decoding's share, and the
// FLAC export on every core its cost over the WAV export's, in wall time.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_archives.h"
#include "bench/processor_time.h"
#include "convert/flac_encoder.h"
#include "settings/memory_store.h"

namespace {

namespace fs = std::filesystem;
namespace bench = kowaki::bench;
using bench::ProcessorSeconds;

constexpr kowaki::OutputSettings kWav{kowaki::kOutputTypeWav, -1, -1, 0};
constexpr kowaki::OutputSettings kFlac{kowaki::kOutputTypeFlac, -1, -1, 0};
constexpr int32_t kEveryThread = 0;

uint64_t BytesIn(const fs::path& folder, const std::string& extension) {
  uint64_t bytes = 0;
  for (const auto& item : fs::directory_iterator(folder)) {
    if (item.path().extension() == extension) bytes += item.file_size();
  }
  return bytes;
}

// Every entry exported with `settings` into a fresh folder per run; with
// `processor`, each run timed by the process's processor time.
void Export(benchmark::State& state, kowaki::OutputSettings settings, int32_t threads,
            bool processor) {
  bench::Session session(bench::VoiceArchive(), threads);
  if (!session.state.index) return state.SkipWithError("no archive");
  kowaki::MemoryStore store;
  kowaki::SaveOutputSettings(store, settings);
  kowaki::ExportSetup setup;
  setup.settings = &store;
  setup.flac = true;
  bench::OutputFolders outs("flac-out");
  for (auto _ : state) {
    const fs::path out = outs.Next();
    const double start = ProcessorSeconds(RUSAGE_SELF);
    const kowaki::ExportResult result = bench::ExportAll(session, setup, out);
    if (processor) state.SetIterationTime(ProcessorSeconds(RUSAGE_SELF) - start);
    if (result.succeeded != bench::kVoiceClips)
      return state.SkipWithError("not every entry was written");
    const char* extension = settings.type == kowaki::kOutputTypeFlac ? ".flac" : ".wav";
    state.counters["MiB"] = static_cast<double>(BytesIn(out, extension)) / (1 << 20);
  }
}

// The WAV export's files, made once.
fs::path WavFiles() {
  const fs::path in = bench::Scratch() / "flac-wav-in";
  if (fs::exists(in / "v_0599.wav")) return in;
  bench::Session session(bench::VoiceArchive());
  kowaki::MemoryStore store;
  kowaki::SaveOutputSettings(store, kWav);
  kowaki::ExportSetup setup;
  setup.settings = &store;
  bench::ExportAll(session, setup, in);
  return in;
}

void Flac_Baseline(benchmark::State& state) {
  if (std::system("flac --version > /dev/null 2>&1") != 0) {
    return state.SkipWithError("no flac here");
  }
  const fs::path in = WavFiles();
  bench::OutputFolders outs("flac-tool-out");
  for (auto _ : state) {
    const fs::path out = outs.Next();
    const std::string run = "flac -s -f -" + std::to_string(kowaki::kFlacDefaultLevel) +
                            " --output-prefix='" + out.string() + "/' '" + in.string() + "'/*.wav";
    const double start = ProcessorSeconds(RUSAGE_CHILDREN);
    if (std::system(run.c_str()) != 0) return state.SkipWithError(("failed: " + run).c_str());
    state.SetIterationTime(ProcessorSeconds(RUSAGE_CHILDREN) - start);
    state.counters["MiB"] = static_cast<double>(BytesIn(out, ".flac")) / (1 << 20);
  }
}
BENCHMARK(Flac_Baseline)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void Flac_ExportOneWorker(benchmark::State& state) { Export(state, kFlac, 1, true); }
BENCHMARK(Flac_ExportOneWorker)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void Flac_WavExportOneWorker(benchmark::State& state) { Export(state, kWav, 1, true); }
BENCHMARK(Flac_WavExportOneWorker)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// Wall time on a machine that others share drifts by several per cent
// from one minute to the next: the ratio is of the medians of repetitions
// that bench/run.sh runs in shuffled order, baseline and case alike.
void FlacCost_Baseline(benchmark::State& state) { Export(state, kWav, kEveryThread, false); }
BENCHMARK(FlacCost_Baseline)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);

void FlacCost_EveryThread(benchmark::State& state) {
  Export(state, kFlac, kEveryThread, false);
  state.counters["goal_ratio"] = 1.5;
}
BENCHMARK(FlacCost_EveryThread)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);

}  // namespace
