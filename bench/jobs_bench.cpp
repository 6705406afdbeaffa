// The jobs on a generated archive of 500 spoken clips (about 32 minutes):
// export as WAV at the source format and as 22050 Hz mono against decoding
// the same entries alone, the same two with sox per clip, OGG copies
// against copying the same bytes with stdio, the listing against opening
// every entry, and the export's peak heap for a 10-minute clip against a
// 10-second one.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "archive/archive_writer.h"
#include "archive/entry_stream.h"
#include "archive/entry_vorbis.h"
#include "cli/terminal_window.h"
#include "jobs/export_job.h"
#include "jobs/listing_job.h"
#include "settings/memory_store.h"
#include "settings/output_settings.h"
#include "tools/synth.h"

namespace {

namespace fs = std::filesystem;
using kowaki::AppState;

constexpr int kClips = 500;

fs::path Scratch() {
  static const fs::path path = fs::temp_directory_path() / "kowaki-jobs-bench";
  fs::create_directories(path);
  return path;
}

std::string Clip(int rate, int channels, double seconds, double pitch) {
  const auto pcm = kowaki::synth::Voice(rate, channels, seconds, pitch);
  return kowaki::synth::EncodeVorbis(pcm, channels, rate, 0.3f);
}

// Made once and kept between runs: encoding half an hour takes a while.
std::string MakeArchive(const std::string& name,
                        const std::vector<std::pair<std::string, std::string>>& clips) {
  const std::string path = (Scratch() / name).string();
  if (fs::exists(path)) return path;
  kowaki::ArchiveWriter writer;
  std::string error;
  for (const auto& [entry, data] : clips) writer.AddBytes(entry, data, &error);
  if (!writer.Write(path, &error)) std::fprintf(stderr, "jobs_bench: %s\n", error.c_str());
  return path;
}

const std::string& VoiceArchive() {
  static const std::string path = [] {
    if (fs::exists(Scratch() / "voices-500.arc")) return MakeArchive("voices-500.arc", {});
    constexpr int kRates[] = {22050, 44100, 22050, 48000, 16000, 44100, 32000, 24000};
    std::vector<std::pair<std::string, std::string>> clips;
    for (int i = 0; i < kClips; ++i) {
      char name[9];
      std::snprintf(name, sizeof name, "v_%04d", i);
      const int rate = kRates[i % 8];
      const double seconds = 2.0 + (i % 10) * 0.4;  // 2.0 to 5.6 s
      clips.emplace_back(name, Clip(rate, 1 + i % 2, seconds, 180.0 + (i % 7) * 15.0));
    }
    return MakeArchive("voices-500.arc", clips);
  }();
  return path;
}

// A job's surroundings: the archive loaded, listed quietly, every row selected.
struct Session {
  explicit Session(const std::string& path) : window(false) {
    state.window = &window;
    state.index = kowaki::LoadArchiveIndex(path.c_str());
    if (!state.index) return;
    state.running = 1;
    kowaki::ListingJob(&state);
    for (auto& row : window.list().rows()) row.selected = true;
  }
  ~Session() { kowaki::FreeArchiveIndex(state.index); }
  kowaki::cli::TerminalWindow window;
  AppState state;
};

void Export(benchmark::State& state, kowaki::OutputSettings settings) {
  Session session(VoiceArchive());
  if (!session.state.index) return state.SkipWithError("no archive");
  kowaki::MemoryStore store;
  kowaki::SaveOutputSettings(store, settings);
  kowaki::ExportSetup setup;
  setup.settings = &store;
  // A fresh folder per run, all removed at the end: files deleted just
  // before the run would have the file system hunt past their inodes.
  const fs::path outs = Scratch() / "out";
  fs::remove_all(outs);
  int run = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path out = outs / std::to_string(run++);
    fs::create_directories(out);
    session.window.folder_answer = out.string();
    session.window.save_answer = (out / "all.wav").string();
    state.ResumeTiming();
    session.state.running = 1;
    const kowaki::ExportResult result = kowaki::RunExport(&session.state, setup);
    if (result.succeeded != kClips) state.SkipWithError("not every entry was written");
  }
  fs::remove_all(outs);
}

// Decoding every entry alone, in the export's 8192-byte reads.
void Export_Baseline(benchmark::State& state) {
  kowaki::ArchiveIndex* index = kowaki::LoadArchiveIndex(VoiceArchive().c_str());
  if (!index) return state.SkipWithError("no archive");
  std::vector<char> block(8192);
  for (auto _ : state) {
    int64_t bytes = 0;
    for (int32_t i = 0; i < index->count; ++i) {
      OggVorbis_File vf;
      if (kowaki::OpenEntryVorbis(index, i, &vf) != 0) continue;
      int bitstream = 0;
      for (long n; (n = ov_read(&vf, block.data(), 8192, 0, 2, 1, &bitstream)) > 0;) bytes += n;
      ov_clear(&vf);
    }
    benchmark::DoNotOptimize(bytes);
  }
  kowaki::FreeArchiveIndex(index);
}
BENCHMARK(Export_Baseline)->Unit(benchmark::kMillisecond)->Iterations(3);

void Export_WavSource(benchmark::State& state) {
  Export(state, {1, -1, -1, 0});
  state.counters["goal_ratio"] = 1.10;
}
BENCHMARK(Export_WavSource)->Unit(benchmark::kMillisecond)->Iterations(3);

void Export_WavMono22050(benchmark::State& state) {
  Export(state, {1, 22050, 1, 0});
  state.counters["goal_ratio"] = 1.20;
}
BENCHMARK(Export_WavMono22050)->Unit(benchmark::kMillisecond)->Iterations(3);

void Export_MergedMono22050(benchmark::State& state) { Export(state, {1, 22050, 1, 1}); }
BENCHMARK(Export_MergedMono22050)->Unit(benchmark::kMillisecond)->Iterations(3);

// sox per clip, from the same entries as .ogg files.
void Sox(benchmark::State& state, const char* options) {
  if (std::system("sox --version > /dev/null 2>&1") != 0) return state.SkipWithError("no sox here");
  const fs::path in = Scratch() / "sox-in";
  const fs::path out = Scratch() / "sox-out";
  fs::create_directories(in);
  fs::create_directories(out);
  {
    Session session(VoiceArchive());
    kowaki::MemoryStore store;  // OGG copies
    kowaki::ExportSetup setup;
    setup.settings = &store;
    session.window.folder_answer = in.string();
    session.state.running = 1;
    kowaki::RunExport(&session.state, setup);
  }
  std::vector<std::string> commands;
  for (const auto& item : fs::directory_iterator(in)) {
    commands.push_back("sox -q " + item.path().string() + " " + options + " " +
                       (out / item.path().stem()).string() + ".wav");
  }
  for (auto _ : state) {
    for (const std::string& command : commands) {
      if (std::system(command.c_str()) != 0)
        return state.SkipWithError(("failed: " + command).c_str());
    }
  }
  fs::remove_all(in);
  fs::remove_all(out);
}

void Export_SoxSource(benchmark::State& state) { Sox(state, ""); }
BENCHMARK(Export_SoxSource)->Unit(benchmark::kMillisecond)->Iterations(1);

void Export_SoxMono22050(benchmark::State& state) { Sox(state, "-c 1 -r 22050"); }
BENCHMARK(Export_SoxMono22050)->Unit(benchmark::kMillisecond)->Iterations(1);

// Copying each entry's bytes into a file of its own with stdio: what the
// disk allows.
void Copy_Baseline(benchmark::State& state) {
  kowaki::ArchiveIndex* index = kowaki::LoadArchiveIndex(VoiceArchive().c_str());
  if (!index) return state.SkipWithError("no archive");
  const fs::path out = Scratch() / "copy";
  std::vector<char> block(8192);
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(out);
    fs::create_directories(out);
    state.ResumeTiming();
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
  fs::remove_all(out);
  kowaki::FreeArchiveIndex(index);
}
BENCHMARK(Copy_Baseline)->Unit(benchmark::kMillisecond)->Iterations(5);

void Copy_Ogg(benchmark::State& state) {
  Export(state, {0, -1, -1, 0});
  state.counters["goal_ratio"] = 1.5;
}
BENCHMARK(Copy_Ogg)->Unit(benchmark::kMillisecond)->Iterations(5);

// Opening every entry as Vorbis, as the listing must.
void Listing_Baseline(benchmark::State& state) {
  kowaki::ArchiveIndex* index = kowaki::LoadArchiveIndex(VoiceArchive().c_str());
  if (!index) return state.SkipWithError("no archive");
  for (auto _ : state) {
    for (int32_t i = 0; i < index->count; ++i) {
      OggVorbis_File vf;
      if (kowaki::OpenEntryVorbis(index, i, &vf) == 0) ov_clear(&vf);
    }
  }
  kowaki::FreeArchiveIndex(index);
}
BENCHMARK(Listing_Baseline)->Unit(benchmark::kMillisecond)->Iterations(5);

void Listing_Job(benchmark::State& state) {
  kowaki::cli::TerminalWindow window(false);
  AppState app;
  app.window = &window;
  app.index = kowaki::LoadArchiveIndex(VoiceArchive().c_str());
  if (!app.index) return state.SkipWithError("no archive");
  for (auto _ : state) {
    app.running = 1;
    kowaki::ListingJob(&app);
  }
  if (window.list().rows().size() != kClips) state.SkipWithError("not every entry was listed");
  kowaki::FreeArchiveIndex(app.index);
  state.counters["goal_ratio"] = 1.2;
}
BENCHMARK(Listing_Job)->Unit(benchmark::kMillisecond)->Iterations(5);

#if defined(__GLIBC__)
// The heap in use at its highest during an export to WAV, reported as the
// benchmark's time (one nanosecond per byte) so that the ratio of the two
// is the ratio of the peaks.
size_t g_heap_peak = 0;

class SampledFile : public kowaki::ExportFile {
 public:
  explicit SampledFile(std::unique_ptr<kowaki::ExportFile> file) : file_(std::move(file)) {}
  bool Write(const void* data, size_t size) override {
    g_heap_peak = std::max(g_heap_peak, mallinfo2().uordblks);
    return file_->Write(data, size);
  }
  bool Flush() override { return file_->Flush(); }
  bool CutBack(uint64_t size) override { return file_->CutBack(size); }
  bool Finish(std::span<const uint8_t> header) override { return file_->Finish(header); }
  void Discard() override { file_->Discard(); }

 private:
  std::unique_ptr<kowaki::ExportFile> file_;
};

void PeakHeap(benchmark::State& state, const std::string& archive) {
  Session session(archive);
  if (!session.state.index) return state.SkipWithError("no archive");
  kowaki::MemoryStore store;
  kowaki::SaveOutputSettings(store, {1, 22050, 1, 0});
  kowaki::ExportSetup setup;
  setup.settings = &store;
  setup.open_file = [](const std::string& path,
                       kowaki::OutputPlace place) -> std::unique_ptr<kowaki::ExportFile> {
    auto file = kowaki::OpenExportFile(path, place);
    if (!file) return nullptr;
    return std::make_unique<SampledFile>(std::move(file));
  };
  const fs::path out = Scratch() / "peak";
  fs::create_directories(out);
  session.window.folder_answer = out.string();
  for (auto _ : state) {
    const size_t before = mallinfo2().uordblks;
    g_heap_peak = before;
    session.state.running = 1;
    kowaki::RunExport(&session.state, setup);
    state.SetIterationTime(static_cast<double>(g_heap_peak - before) * 1e-9);
    state.counters["peak_heap_KiB"] = static_cast<double>(g_heap_peak - before) / 1024;
  }
  fs::remove_all(out);
}

void PeakHeap_Baseline(benchmark::State& state) {
  static const std::string archive =
      MakeArchive("ten-seconds.arc", {{"short", Clip(44100, 2, 10, 200)}});
  PeakHeap(state, archive);
}
BENCHMARK(PeakHeap_Baseline)->UseManualTime()->Iterations(1);

void PeakHeap_TenMinutes(benchmark::State& state) {
  static const std::string archive =
      MakeArchive("ten-minutes.arc", {{"long", Clip(44100, 2, 600, 200)}});
  PeakHeap(state, archive);
  state.counters["goal_ratio"] = 1.05;
}
BENCHMARK(PeakHeap_TenMinutes)->UseManualTime()->Iterations(1);
#endif

}  // namespace
