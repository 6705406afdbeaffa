// The jobs on an archive of 600 spoken clips (71 minutes): export as WAV at
// the source format and as 22050 Hz mono on every hardware thread and on
// one, against decoding the same entries alone in one thread; the
// speed-up of two workers over one, per entry and merged with resampling; oggdec and sox over the
// same clips as references; OGG copies against copying the same bytes with stdio; the listing
// against opening every entry in one thread.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "archive/entry_stream.h"
#include "archive/entry_vorbis.h"
#include "bench/bench_archives.h"
#include "jobs/listing_job.h"
#include "settings/memory_store.h"

namespace {

namespace fs = std::filesystem;
using kowaki::bench::kVoiceClips;
using kowaki::bench::OutputFolders;
using kowaki::bench::Scratch;
using kowaki::bench::Session;
using kowaki::bench::VoiceArchive;

constexpr int32_t kEveryThread = 0;

int32_t HardwareThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

void Export(benchmark::State& state, kowaki::OutputSettings settings, int32_t threads) {
  Session session(VoiceArchive(), threads);
  if (!session.state.index) return state.SkipWithError("no archive");
  kowaki::MemoryStore store;
  kowaki::SaveOutputSettings(store, settings);
  kowaki::ExportSetup setup;
  setup.settings = &store;
  OutputFolders outs("out");
  for (auto _ : state) {
    const kowaki::ExportResult result = kowaki::bench::ExportAll(session, setup, outs.Next());
    if (result.succeeded != kVoiceClips) state.SkipWithError("not every entry was written");
  }
  state.counters["threads"] = threads == kEveryThread ? HardwareThreads() : threads;
}

// Decoding every entry alone in one thread, in the export's 8192-byte reads.
void Export_Baseline(benchmark::State& state) {
  const kowaki::ArchiveIndexPtr owned =
      kowaki::LoadArchiveIndex(VoiceArchive().c_str()).value_or(nullptr);
  if (!owned) return state.SkipWithError("no archive");
  const kowaki::ArchiveIndex* index = owned.get();
  std::vector<char> block(8192);
  for (auto _ : state) {
    int64_t bytes = 0;
    for (int32_t i = 0; i < index->count; ++i) {
      OggVorbis_File vf;
      if (!kowaki::OpenEntryVorbis(index, i, &vf)) continue;
      int bitstream = 0;
      for (long n; (n = ov_read(&vf, block.data(), 8192, 0, 2, 1, &bitstream)) > 0;) bytes += n;
      ov_clear(&vf);
    }
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(Export_Baseline)->Unit(benchmark::kMillisecond)->Iterations(3);

constexpr kowaki::OutputSettings kWavSource{1, -1, -1, 0};
constexpr kowaki::OutputSettings kWavMono22050{1, 22050, 1, 0};
constexpr kowaki::OutputSettings kMergedMono22050{1, 22050, 1, 1};

void Export_WavSource(benchmark::State& state) {
  Export(state, kWavSource, kEveryThread);
  state.counters["goal_ratio"] = 0.60;
}
BENCHMARK(Export_WavSource)->Unit(benchmark::kMillisecond)->Iterations(3);

void Export_WavMono22050(benchmark::State& state) {
  Export(state, kWavMono22050, kEveryThread);
  state.counters["goal_ratio"] = 0.65;
}
BENCHMARK(Export_WavMono22050)->Unit(benchmark::kMillisecond)->Iterations(3);

void Export_MergedMono22050(benchmark::State& state) {
  Export(state, kMergedMono22050, kEveryThread);
}
BENCHMARK(Export_MergedMono22050)->Unit(benchmark::kMillisecond)->Iterations(3);

void Export_WavSourceOneWorker(benchmark::State& state) {
  Export(state, kWavSource, 1);
  state.counters["goal_ratio"] = 1.10;
}
BENCHMARK(Export_WavSourceOneWorker)->Unit(benchmark::kMillisecond)->Iterations(3);

void Export_WavMono22050OneWorker(benchmark::State& state) {
  Export(state, kWavMono22050, 1);
  state.counters["goal_ratio"] = 1.20;
}
BENCHMARK(Export_WavMono22050OneWorker)->Unit(benchmark::kMillisecond)->Iterations(3);

// Against one worker rather than decoding alone: a speed-up of 1.8 or more.
void Export_WavSourceTwoWorkers(benchmark::State& state) {
  Export(state, kWavSource, 2);
  state.SetLabel("baseline=Export_WavSourceOneWorker");
  state.counters["goal_ratio"] = 1 / 1.8;
}
BENCHMARK(Export_WavSourceTwoWorkers)->Unit(benchmark::kMillisecond)->Iterations(3);

void Export_MergedMono22050OneWorker(benchmark::State& state) {
  Export(state, kMergedMono22050, 1);
}
BENCHMARK(Export_MergedMono22050OneWorker)->Unit(benchmark::kMillisecond)->Iterations(3);

// The merge with resampling, against one worker: a speed-up of 1.8 or more.
void Export_MergedMono22050TwoWorkers(benchmark::State& state) {
  Export(state, kMergedMono22050, 2);
  state.SetLabel("baseline=Export_MergedMono22050OneWorker");
  state.counters["goal_ratio"] = 1 / 1.8;
}
BENCHMARK(Export_MergedMono22050TwoWorkers)->Unit(benchmark::kMillisecond)->Iterations(3);

// The entries as .ogg files, for the tools that read those.
fs::path OggFiles() {
  const fs::path in = Scratch() / "ogg-in";
  if (fs::exists(in)) return in;
  Session session(VoiceArchive());
  kowaki::MemoryStore store;  // OGG copies
  kowaki::ExportSetup setup;
  setup.settings = &store;
  kowaki::bench::ExportAll(session, setup, in);
  return in;
}

void RemoveWavs(const fs::path& folder) {
  for (const auto& item : fs::directory_iterator(folder)) {
    if (item.path().extension() == ".wav") fs::remove(item.path());
  }
}

// `command` run once per clip with the clip's path after it, writing the
// .wav beside the clip; with `parallel`, as many at a time as there are
// hardware threads.
void PerClip(benchmark::State& state, const std::string& tool, const std::string& command,
             bool parallel) {
  if (std::system((tool + " --version > /dev/null 2>&1").c_str()) != 0)
    return state.SkipWithError(("no " + tool + " here").c_str());
  const fs::path in = OggFiles();
  RemoveWavs(in);
  const std::string run = "find " + in.string() + " -name '*.ogg' -print0 | xargs -0 -n 1 -P " +
                          std::to_string(parallel ? HardwareThreads() : 1) + " " + command;
  for (auto _ : state) {
    if (std::system(run.c_str()) != 0) return state.SkipWithError(("failed: " + run).c_str());
    state.PauseTiming();
    RemoveWavs(in);
    state.ResumeTiming();
  }
}

constexpr const char* kOggdec = "oggdec -Q";
constexpr const char* kSox = "sh -c 'sox -q \"$1\" \"${1%.ogg}.wav\"' sh";
constexpr const char* kSoxMono22050 = "sh -c 'sox -q \"$1\" -c 1 -r 22050 \"${1%.ogg}.wav\"' sh";

void Export_Oggdec(benchmark::State& state) { PerClip(state, "oggdec", kOggdec, false); }
BENCHMARK(Export_Oggdec)->Unit(benchmark::kMillisecond)->Iterations(1);

void Export_OggdecParallel(benchmark::State& state) { PerClip(state, "oggdec", kOggdec, true); }
BENCHMARK(Export_OggdecParallel)->Unit(benchmark::kMillisecond)->Iterations(1);

void Export_SoxSource(benchmark::State& state) { PerClip(state, "sox", kSox, false); }
BENCHMARK(Export_SoxSource)->Unit(benchmark::kMillisecond)->Iterations(1);

void Export_SoxMono22050(benchmark::State& state) { PerClip(state, "sox", kSoxMono22050, false); }
BENCHMARK(Export_SoxMono22050)->Unit(benchmark::kMillisecond)->Iterations(1);

// Copying each entry's bytes into a file of its own with stdio: what the
// disk allows.
void Copy_Baseline(benchmark::State& state) {
  const kowaki::ArchiveIndexPtr owned =
      kowaki::LoadArchiveIndex(VoiceArchive().c_str()).value_or(nullptr);
  if (!owned) return state.SkipWithError("no archive");
  const kowaki::ArchiveIndex* index = owned.get();
  OutputFolders outs("copy");
  std::vector<char> block(8192);
  for (auto _ : state) {
    const fs::path out = outs.Next();
    std::FILE* archive = std::fopen(index->path, "rb");
    for (int32_t i = 0; i < index->count; ++i) {
      const kowaki::ArchiveEntry& entry = index->entries[i];
      std::FILE* file =
          std::fopen((out / (std::string(entry.name) + ".ogg")).string().c_str(), "wb");
      std::fseek(archive, static_cast<long>(entry.offset), SEEK_SET);
      for (uint32_t left = entry.size; left > 0;) {
        const size_t n = std::fread(block.data(), 1, std::min<size_t>(left, block.size()), archive);
        if (n == 0) break;
        std::fwrite(block.data(), 1, n, file);
        left -= static_cast<uint32_t>(n);
      }
      std::fclose(file);
    }
    std::fclose(archive);
  }
}
BENCHMARK(Copy_Baseline)->Unit(benchmark::kMillisecond)->Iterations(5);

void Copy_Ogg(benchmark::State& state) {
  Export(state, {0, -1, -1, 0}, kEveryThread);
  state.counters["goal_ratio"] = 1.5;
}
BENCHMARK(Copy_Ogg)->Unit(benchmark::kMillisecond)->Iterations(5);

// Opening every entry as Vorbis in one thread, as a one-worker listing must.
void Listing_Baseline(benchmark::State& state) {
  const kowaki::ArchiveIndexPtr owned =
      kowaki::LoadArchiveIndex(VoiceArchive().c_str()).value_or(nullptr);
  if (!owned) return state.SkipWithError("no archive");
  const kowaki::ArchiveIndex* index = owned.get();
  for (auto _ : state) {
    for (int32_t i = 0; i < index->count; ++i) {
      OggVorbis_File vf;
      if (kowaki::OpenEntryVorbis(index, i, &vf)) ov_clear(&vf);
    }
  }
}
BENCHMARK(Listing_Baseline)->Unit(benchmark::kMillisecond)->Iterations(5);

void Listing(benchmark::State& state, int32_t threads) {
  kowaki::cli::TerminalWindow window(false);
  kowaki::AppState app;
  app.window = &window;
  app.threads = threads;
  app.index = kowaki::LoadArchiveIndex(VoiceArchive().c_str()).value_or(nullptr);
  if (!app.index) return state.SkipWithError("no archive");
  for (auto _ : state) {
    app.running = 1;
    kowaki::ListingJob(&app);
  }
  if (window.list().rows().size() != kVoiceClips) state.SkipWithError("not every entry was listed");
}

void Listing_Job(benchmark::State& state) {
  Listing(state, kEveryThread);
  state.counters["goal_ratio"] = 0.60;
}
BENCHMARK(Listing_Job)->Unit(benchmark::kMillisecond)->Iterations(5);

void Listing_OneWorker(benchmark::State& state) {
  Listing(state, 1);
  state.counters["goal_ratio"] = 1.2;
}
BENCHMARK(Listing_OneWorker)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
