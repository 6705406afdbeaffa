#pragma once
// The archives the job benchmarks work on, made once and kept in the
// system's temporary folder between runs (encoding an hour takes a while),
// and a job's surroundings around them.

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/terminal/terminal_window.h"
#include "jobs/app_state.h"
#include "jobs/export_job.h"
#include "settings/output_settings.h"

namespace kowaki::bench {

std::filesystem::path Scratch();

// Folders for one benchmark's outputs: every run writes into a new, empty
// one, baseline and case alike, and nothing is deleted until the benchmark
// ends (a file system finds room for new files more slowly just after many
// were deleted, and the run would time that). They live in a folder of
// this process's own in the system's temporary folder, apart from the kept
// archives, so that runs at the same time do not share them.
class OutputFolders {
 public:
  explicit OutputFolders(std::string_view name);
  ~OutputFolders();
  OutputFolders(const OutputFolders&) = delete;
  OutputFolders& operator=(const OutputFolders&) = delete;

  // An empty folder no run has used.
  std::filesystem::path Next();

 private:
  std::filesystem::path root_;
  int runs_ = 0;
};

// A spoken clip as Ogg Vorbis bytes.
std::string Clip(int rate, int channels, double seconds, double pitch);

// An archive of `clips` (name, bytes) under `name`; kept if it exists.
std::string MakeArchive(const std::string& name,
                        const std::vector<std::pair<std::string, std::string>>& clips);

// 600 spoken clips, 16 to 48 kHz, mono and stereo, 3.0 to 11.1 s each:
// 71 minutes in all.
constexpr int kVoiceClips = 600;
const std::string& VoiceArchive();

// The archive loaded, listed quietly, every row selected.
struct Session {
  explicit Session(const std::string& path, int32_t threads = 0);
  cli::TerminalWindow window;
  AppState state;
};

// Exports every entry of `session` with `settings` into a new folder
// `out` (and `out`/all.wav when merging).
ExportResult ExportAll(Session& session, const ExportSetup& setup,
                       const std::filesystem::path& out);

}  // namespace kowaki::bench
