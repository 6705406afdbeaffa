#pragma once
// kowaki-cli browse's keys: what each does to the rows (BrowseModel) and
// to the jobs. Playback and export run on the jobs' worker as `play` and
// `export` run them, through the browse window, one job at a time; the
// facts come in from the background between keys. No terminal in here: the
// screen reads the keys and draws what this holds.

#include <cstdint>
#include <string>

#include "cli/browse/browse_model.h"
#include "cli/browse/browse_window.h"
#include "cli/browse/facts_loader.h"
#include "jobs/app_state.h"
#include "jobs/export_job.h"
#include "jobs/playback_job.h"
#include "settings/memory_store.h"
#include "settings/output_settings.h"

namespace kowaki::cli {

// A key or the mouse wheel, as the screen reads them. Text comes a byte at
// a time: a character beyond ASCII in the bytes of its UTF-8.
struct Key {
  enum Kind : uint8_t {
    kNone,
    kChar,
    kUp,
    kDown,
    kLeft,
    kRight,
    kPageUp,
    kPageDown,
    kHome,
    kEnd,
    kEnter,
    kEscape,
    kBackspace,
    kTab,
    kWheelUp,
    kWheelDown,
    kResize,
  };
  Kind kind = kNone;
  char byte = 0;  // kChar
};

class BrowseController {
 public:
  enum class Mode : uint8_t { kList, kFilter, kExport, kHelp };
  enum class Job : uint8_t { kNone, kPlay, kExport };
  // The export prompt's line that takes the keys.
  enum class Focus : uint8_t { kDestination, kSettings };

  // `jobs` holds the index and runs the jobs, with `window` as their window;
  // `album` (the archive's file name) tags the FLAC files it exports.
  BrowseController(AppState& jobs, BrowseWindow& window, BrowseModel& model,
                   const FactsLoader& facts, const OutputSettings& settings, std::string album);
  ~BrowseController();
  BrowseController(const BrowseController&) = delete;
  BrowseController& operator=(const BrowseController&) = delete;

  // Takes a key; false once the user quits.
  bool Handle(const Key& key);
  // Between keys: the facts that came in, a job that ended.
  void Tick();

  Mode mode() const { return mode_; }
  Job job() const { return job_; }
  Focus focus() const { return focus_; }
  bool paused() const { return control_.paused; }
  int32_t volume() const { return control_.volume; }
  // A note of its own for the status line: what an export wrote, why a
  // key did nothing.
  const std::string& note() const { return note_; }
  const std::string& destination() const { return destination_; }
  const OutputSettings& settings() const { return settings_; }
  // Whether the export prompt asks for a WAV file rather than a folder.
  bool Merging() const { return settings_.type != 0 && settings_.merge != 0; }

 private:
  bool OnListKey(const Key& key);
  bool OnListChar(char c);
  bool Move(const Key& key);
  void OnFilterKey(const Key& key);
  void OnExportKey(const Key& key);
  void ChangeSetting(char c);
  void Play();
  void Seek(int32_t ms);
  void StartExport();
  void Note(std::string text);
  bool Start(Job job, JobProcedure procedure);
  void StopJob();
  void EndJob();

  AppState& jobs_;
  BrowseWindow& window_;
  BrowseModel& model_;
  const FactsLoader& facts_;
  Mode mode_ = Mode::kList;
  Job job_ = Job::kNone;
  Focus focus_ = Focus::kDestination;
  std::string note_;
  PlaybackControl control_;
  PlaybackSetup play_setup_;
  OutputSettings settings_;  // this run's; the stored ones stay
  MemoryStore export_store_;
  ExportSetup export_setup_;
  ExportResult export_result_;
  std::string typed_;        // the filter as typed, maybe inside a character's bytes
  std::string destination_;  // as typed
  std::string exported_to_;
};

}  // namespace kowaki::cli
