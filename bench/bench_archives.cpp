#include "bench/bench_archives.h"

#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "archive/archive_writer.h"
#include "jobs/listing_job.h"
#include "tools/synth.h"

namespace kowaki::bench {

namespace fs = std::filesystem;

fs::path Scratch() {
  static const fs::path path = fs::temp_directory_path() / "kowaki-bench";
  fs::create_directories(path);
  return path;
}

namespace {

// This process's outputs, removed at exit.
const fs::path& ProcessOutputs() {
  static const struct Folder {
    fs::path path = fs::temp_directory_path() / ("kowaki-bench-out-" + std::to_string(getpid()));
    ~Folder() {
      std::error_code ignored;
      fs::remove_all(path, ignored);
    }
  } folder;
  return folder.path;
}

}  // namespace

OutputFolders::OutputFolders(std::string_view name) : root_(ProcessOutputs() / name) {
  fs::remove_all(root_);
}

OutputFolders::~OutputFolders() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

fs::path OutputFolders::Next() {
  fs::path folder = root_ / std::to_string(runs_++);
  fs::create_directories(folder);
  return folder;
}

std::string Clip(int rate, int channels, double seconds, double pitch) {
  const auto pcm = synth::Voice(rate, channels, seconds, pitch);
  return synth::EncodeVorbis(pcm, channels, rate, 0.3f);
}

std::string MakeArchive(const std::string& name,
                        const std::vector<std::pair<std::string, std::string>>& clips) {
  const std::string path = (Scratch() / name).string();
  if (fs::exists(path)) return path;
  ArchiveWriter writer;
  Result<> made;
  for (const auto& [entry, data] : clips) {
    if (made) made = writer.AddBytes(entry, data);
  }
  if (made) made = writer.Write(path);
  if (!made) std::fprintf(stderr, "bench: %s\n", made.failure().text.c_str());
  return path;
}

const std::string& VoiceArchive() {
  static const std::string path = [] {
    const std::string name = "voices-600.arc";
    if (fs::exists(Scratch() / name)) return MakeArchive(name, {});
    constexpr int kRates[] = {22050, 44100, 22050, 48000, 16000, 44100, 32000, 24000};
    std::vector<std::pair<std::string, std::string>> clips;
    for (int i = 0; i < kVoiceClips; ++i) {
      char entry[9];
      std::snprintf(entry, sizeof entry, "v_%04d", i);
      const double seconds = 3.0 + (i % 10) * 0.9;
      clips.emplace_back(entry, Clip(kRates[i % 8], 1 + i % 2, seconds, 180.0 + (i % 7) * 15.0));
    }
    return MakeArchive(name, clips);
  }();
  return path;
}

Session::Session(const std::string& path, int32_t threads) : window(false) {
  state.window = &window;
  state.threads = threads;
  state.index = LoadArchiveIndex(path.c_str()).value_or(nullptr);
  if (!state.index) return;
  state.running = 1;
  ListingJob(&state);
  for (auto& row : window.list().rows()) row.selected = true;
}

ExportResult ExportAll(Session& session, const ExportSetup& setup, const fs::path& out) {
  fs::create_directories(out);
  session.window.folder_answer = out.string();
  session.window.save_answer = (out / "all.wav").string();
  session.state.running = 1;
  return RunExport(&session.state, setup);
}

}  // namespace kowaki::bench
