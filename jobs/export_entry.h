#pragma once
// One entry of an export, made on any thread: read from the archive,
// decoded and converted where the output is WAV or FLAC, and written to its own
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
#include "jobs/pcm_writer.h"
#include "jobs/spill_buffer.h"
#include "settings/output_settings.h"

namespace kowaki {

// What every entry of a run is written as. Read by every thread at once,
// so fixed before the first entry is taken up.
struct ExportPlan {
  const ArchiveIndex* index = nullptr;
  OutputKind kind = OutputKind::kOgg;
  bool merge = false;
  OutputSettings settings{};  // the rate and channels asked for (-1: the source's)
  ExportFileOpener open_file;
  std::string album;  // a FLAC file's ALBUM: the archive's file name
  int32_t flac_level = kFlacDefaultLevel;
};

// An entry made, waiting for its turn.
struct ExportedEntry {
  EntryOutcome outcome;
  std::unique_ptr<ExportFile> file;   // an entry's own file, written but not finished
  std::unique_ptr<PcmWriter> writer;  // decoded: the audio of that file
  std::string path;                   // its path
  bool cannot_open = false;           // its own WAV or FLAC file could not be opened: the run ends
  PcmFormat format{};                 // decoded: what the data is; set once the data began
  uint64_t bytes = 0;  // data bytes written (decoded: PCM, a merge's silence before it too)
  uint64_t lead = 0;   // a merge entry's silence before its audio, in bytes
  SpillBuffer spill;   // a merge entry's data, when not written straight

  // Throws away what was written: no file of its own appears.
  void Discard();
};

// Where a merge entry's data goes: straight into the merge file (one
// entry at a time, in list order), or into the entry's spill buffer.
struct MergeSink {
  // Starts the merge file when it has not started yet, and gives its
  // audio; null when that failed. Empty: the spill buffer.
  std::function<PcmWriter*(const PcmFormat&)> begin;
  uint64_t written_before = 0;  // data the merge file held before this entry
  uint64_t lead = 0;            // bytes of silence before this entry's audio
};

// The entry's own file at `path` (empty in merge mode); `target` is the
// decoded format (for merging, the one the first entry fixed); `gain`
// scales the decoded audio (1: as it is).
ExportedEntry ExportEntry(const ExportPlan& plan, int32_t entry, const std::string& path,
                          const PcmFormat& target, MergeSink sink, float gain = 1);

// The format an entry of `source` format is written in: the settings'
// rate and channels, or the source's where they say "same as the source".
PcmFormat ExportFormat(const OutputSettings& settings, const PcmFormat& source);

// The format of an entry that fixes a merge file's format: one that
// decodes and is whole; why it cannot otherwise.
Result<PcmFormat, EntryProblem> FirstMergeFormat(const ArchiveIndex* index, int32_t entry);

}  // namespace kowaki
