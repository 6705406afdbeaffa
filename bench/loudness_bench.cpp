// Our loudness pass (EBU R128 integrated loudness and true peak) over 600
// spoken clips (71 minutes) against `ffmpeg -af ebur128=peak=true` on the
// WAV merge of the same entries: one file, so that ffmpeg's start counts
// once. Both on one thread, timed by the processor time they take
// (ffmpeg's as a child's); ours decodes the Ogg Vorbis and converts it to
// the merge's format too, ffmpeg only reads the WAV file. Then what the
// pass adds to the WAV export on every core, in wall time.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_archives.h"
#include "bench/processor_time.h"
#include "common/little_endian.h"
#include "jobs/loudness.h"
#include "settings/memory_store.h"

namespace {

namespace fs = std::filesystem;
namespace bench = kowaki::bench;
using bench::ProcessorSeconds;

constexpr int32_t kEveryThread = 0;

// The WAV export merged into one file, made once.
fs::path MergedWav() {
  const fs::path out = bench::Scratch() / "loudness-merge";
  if (fs::exists(out / "all.wav")) return out / "all.wav";
  bench::Session session(bench::VoiceArchive());
  kowaki::MemoryStore store;
  kowaki::SaveOutputSettings(store, {kowaki::kOutputTypeWav, -1, -1, 1});
  kowaki::ExportSetup setup;
  setup.settings = &store;
  bench::ExportAll(session, setup, out);
  return out / "all.wav";
}

// The merge file's format, from its header.
kowaki::PcmFormat FormatOf(const fs::path& wav) {
  uint8_t header[44] = {};
  std::ifstream(wav, std::ios::binary).read(reinterpret_cast<char*>(header), sizeof header);
  return kowaki::MakePcmFormat(kowaki::ReadLe32(header + 24), kowaki::ReadLe16(header + 22), 16);
}

void Loudness_Baseline(benchmark::State& state) {
  if (std::system("ffmpeg -version > /dev/null 2>&1") != 0) {
    return state.SkipWithError("no ffmpeg here");
  }
  const std::string run = "ffmpeg -hide_banner -nostats -loglevel error -i '" +
                          MergedWav().string() + "' -af ebur128=peak=true -f null -";
  for (auto _ : state) {
    const double start = ProcessorSeconds(RUSAGE_CHILDREN);
    if (std::system(run.c_str()) != 0) return state.SkipWithError(("failed: " + run).c_str());
    state.SetIterationTime(ProcessorSeconds(RUSAGE_CHILDREN) - start);
  }
}
BENCHMARK(Loudness_Baseline)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// Every entry decoded, converted to the merge's format and measured, as
// the export's pass does, one after another.
void Loudness_OurPassOneThread(benchmark::State& state) {
  const kowaki::PcmFormat format = FormatOf(MergedWav());
  bench::Session session(bench::VoiceArchive(), 1);
  const kowaki::ArchiveIndex* index = session.state.index.get();
  if (!index) return state.SkipWithError("no archive");
  const kowaki::FormatFor merge = [&](const kowaki::PcmFormat&) { return format; };
  for (auto _ : state) {
    const double start = ProcessorSeconds(RUSAGE_SELF);
    for (int32_t entry = 0; entry < index->count; ++entry) {
      if (!kowaki::MeasureEntry(index, entry, merge)) return state.SkipWithError("not measured");
    }
    state.SetIterationTime(ProcessorSeconds(RUSAGE_SELF) - start);
  }
}
BENCHMARK(Loudness_OurPassOneThread)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// The WAV export on every core, without and with --loudness -23.
void Export(benchmark::State& state, bool loudness) {
  bench::Session session(bench::VoiceArchive(), kEveryThread);
  if (!session.state.index) return state.SkipWithError("no archive");
  kowaki::MemoryStore store;
  kowaki::SaveOutputSettings(store, {kowaki::kOutputTypeWav, -1, -1, 0});
  kowaki::ExportSetup setup;
  setup.settings = &store;
  if (loudness) setup.loudness = kowaki::LoudnessTarget{};
  bench::OutputFolders outs("loudness-out");
  for (auto _ : state) {
    const kowaki::ExportResult result = bench::ExportAll(session, setup, outs.Next());
    if (result.succeeded != bench::kVoiceClips)
      return state.SkipWithError("not every entry was written");
  }
}

void LoudnessCost_Baseline(benchmark::State& state) { Export(state, false); }
BENCHMARK(LoudnessCost_Baseline)->Unit(benchmark::kMillisecond)->Iterations(3);

void LoudnessCost_EveryThread(benchmark::State& state) { Export(state, true); }
BENCHMARK(LoudnessCost_EveryThread)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
