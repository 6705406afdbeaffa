#pragma once
// One entry of an export, made on any thread: read from the archive,
// decoded and converted where the output is WAV, and written to its own
// file or held for the merge file. Nothing here is final: the export job
// finishes the entries one after another in list order, and throws away
// those it never reaches.

#include <cstdint>
#include <memory>
#include <string>

#include "archive/archive_index.h"
#include "common/result.h"
#include "convert/pcm_format.h"
#include "jobs/entry_outcome.h"
#include "jobs/export_file.h"
#include "jobs/spill_buffer.h"
#include "settings/output_settings.h"

namespace kowaki {

// What every entry of a run is written as. Read by every thread at once,
// so fixed before the first entry is taken up.
struct ExportPlan {
  const ArchiveIndex* index = nullptr;
  bool wav = false;
  bool merge = false;
  OutputSettings settings{};  // the rate and channels asked for (-1: the source's)
  ExportFileOpener open_file;
};

// An entry made, waiting for its turn.
struct ExportedEntry {
  EntryOutcome outcome;
  std::unique_ptr<ExportFile> file;  // an entry's own file, written but not finished
  std::string path;                  // its path
  bool cannot_open = false;          // its own WAV file could not be opened: the run ends
  PcmFormat format{};                // WAV: what the data is; set once the data began
  uint64_t bytes = 0;                // data bytes written (WAV: after the header)
  SpillBuffer spill;                 // a merge entry's data, when not written straight

  // Throws away what was written: no file of its own appears.
  void Discard();
};

// Where a merge entry's data goes: straight into the merge file (one
// entry at a time, in list order), or into the entry's spill buffer.
struct MergeSink {
  ExportFile* file = nullptr;   // null: the spill buffer
  uint64_t written_before = 0;  // data the merge file held before this entry
  // Writes the file's header first when it has none yet; false when that failed.
  std::function<bool(const PcmFormat&)> begin;
};

// The entry's own file at `path` (empty in merge mode); `target` is the
// WAV format (for merging, the one the first entry fixed).
ExportedEntry ExportEntry(const ExportPlan& plan, int32_t entry, const std::string& path,
                          const PcmFormat& target, MergeSink sink);

// The format an entry of `source` format is written in: the settings'
// rate and channels, or the source's where they say "same as the source".
PcmFormat ExportFormat(const OutputSettings& settings, const PcmFormat& source);

// The format of an entry that fixes a merge file's format: one that
// decodes and is whole; why it cannot otherwise.
Result<PcmFormat, EntryProblem> FirstMergeFormat(const ArchiveIndex* index, int32_t entry);

}  // namespace kowaki
