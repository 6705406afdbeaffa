#pragma once
// The export job: writes the entries of the selected rows, in list order,
// as untouched .ogg copies or as 16-bit .wav or .flac files (one per entry,
// or all merged into one), converted to the rate and channel count of the
// output settings.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/flac_encoder.h"
#include "jobs/app_state.h"
#include "jobs/entry_outcome.h"
#include "jobs/export_file.h"
#include "jobs/loudness.h"
#include "settings/settings_store.h"

namespace kowaki {

// A merge file stops taking entries once its data passes this many bytes,
// 32 MiB below what a signed 32-bit size holds.
inline constexpr int64_t kMergeDataLimit = 0x7E000000;

struct ExportSetup {
  // Where the output settings are loaded from; null: OpenSettingsStore().
  const SettingsStore* settings = nullptr;
  int64_t merge_limit = kMergeDataLimit;
  ExportFileOpener open_file = OpenExportFile;
  // A merge file marks where each entry starts, labelled with its name (a
  // cue point each, after the data); not on a stream.
  bool markers = false;
  // An entry's own file that exists is kept, and the entry skipped.
  bool keep_existing = false;
  // A stored type kOutputTypeFlac writes FLAC; the window, whose dialog
  // offers two types, writes WAV for it.
  bool flac = false;
  // A FLAC file's ALBUM tag: the archive's file name.
  std::string album;
  // libFLAC's compression level, 0 to kFlacMaxLevel.
  int32_t flac_level = kFlacDefaultLevel;
  // Silence between the entries of a merge file, in seconds (rounded to
  // whole sample frames); markers are where each entry's audio starts.
  double gap_seconds = 0;
  // Decoded entries brought to this loudness, each measured first (on every
  // core); `loudness_album`: all of them as one, with one gain.
  std::optional<LoudnessTarget> loudness;
  bool loudness_album = false;
  // The name of an entry's own file, before it is made safe, from the
  // entry's name, number and place in the run (from 1); null: its name.
  std::function<std::string(std::string_view name, int32_t entry, int32_t place)> file_name;
};

struct ExportResult {
  bool destination = false;         // a folder was picked or the merge file opened
  bool output_failed = false;       // a WAV or FLAC file could not be opened: the run ended there
  bool merge_write_failed = false;  // a merge file stopped taking data: the run ended there
  int32_t selected = 0;
  int32_t processed = 0;  // entries taken up, whether they succeeded or not
  int32_t succeeded = 0;
  int32_t damaged = 0;                // of those, written cut short (their outcome says so)
  int32_t skipped = 0;                // kept files (keep_existing), not counted as failures
  std::vector<EntryOutcome> entries;  // each entry taken up, in list order
};

// The worker procedure.
void ExportJob(AppState* state);
// The same run with its surroundings given, telling how it went.
ExportResult RunExport(AppState* state, const ExportSetup& setup);

}  // namespace kowaki
