#include "jobs/export_job.h"

#include <cerrno>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/input_files.h"
#include "common/output_file.h"
#include "convert/wav_file.h"
#include "jobs/export_entry.h"
#include "jobs/job_end.h"
#include "jobs/loudness.h"
#include "jobs/ordered_work.h"
#include "jobs/output_names.h"
#include "settings/output_settings.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki {

namespace {

// A selected row's entry and the path of its own file (empty when merging);
// with a loudness target, what it measured and the gain it gets.
struct PlannedEntry {
  int32_t entry = -1;
  std::string path;
  std::optional<EntryLoudness> loudness;
};

// One run of the job: its settings, destination and counters. Entries are
// made on every core (ExportEntry) and finished here, on the job's thread,
// one after another in list order, so that files, messages, titles and
// progress are those of a single thread.
class ExportRun {
 public:
  ExportRun(AppState* state, const ExportSetup& setup)
      : state_(*state),
        index_(state->index.get()),
        window_(*state->window),
        setup_(setup),
        names_([this](std::string_view stem) { return window_.NameText(stem); }) {}

  ExportResult Run();

 private:
  // The merge file, open for the whole run.
  struct MergeFile {
    std::unique_ptr<ExportFile> file;
    std::unique_ptr<PcmWriter> writer;  // its audio, once its header is written
    PcmFormat format{};                 // fixed by the first entry that opens
    bool format_fixed = false;
    uint64_t gap = 0;            // bytes of silence between entries
    bool broken = false;         // a header write fell short: nothing more goes in
    uint64_t data_bytes = 0;     // in entries written whole
    std::string last_whole;      // the name of the last of them, as text
    std::vector<CuePoint> cues;  // where each of them starts
  };

  bool ChooseDestination();
  bool CannotOpen(const std::string& path, const std::string& reason);
  bool Kept(const std::string& path) const {
    return setup_.keep_existing && !path.empty() &&
           platform::KindOfPath(path) != platform::PathKind::kNone;
  }
  bool OutputsReplaceable();
  const char* Extension() const {
    return plan_.kind == OutputKind::kOgg   ? ".ogg"
           : plan_.kind == OutputKind::kWav ? ".wav"
                                            : ".flac";
  }
  // FLAC frames cannot be cut back to an entry's start: a FLAC merge entry
  // waits whole in its spill buffer, as every entry of a parallel run does.
  bool Spills() const { return parallel_ || plan_.kind == OutputKind::kFlac; }
  // Every row is planned before the first entry is made: for a parallel
  // run, and for the loudness measured before.
  bool PlansAhead() const { return parallel_ || setup_.loudness.has_value(); }
  void ExportRows();
  void PlanRows();
  bool MeasureRows();
  void SetGains(std::vector<MeasuredEntry>& measured);
  void TakeUp(int32_t item);
  PlannedEntry NextRow();
  PlannedEntry PlanEntry(int32_t entry);
  std::string FileName(int32_t entry, int32_t place) const {
    const std::string_view name = EntryName(index_, entry);
    return setup_.file_name ? setup_.file_name(name, entry, place) : std::string(name);
  }
  void FixMergeFormat(int32_t entry);
  ExportedEntry Make(int32_t item);
  bool Commit(ExportedEntry& made);
  bool FinishOwnFile(ExportedEntry& made);
  bool AddToMerge(ExportedEntry& made, const std::string& name);
  bool AppendSpill(ExportedEntry& made);
  PcmWriter* StartMerge(const PcmFormat& format);
  void KeepWholeEntries(EntryProblem problem);
  bool FinishMerge();
  void EndMessages();
  void Restore();

  AppState& state_;
  const ArchiveIndex* index_;  // the window's, unchanged while the job runs
  JobWindow& window_;
  const ExportSetup& setup_;
  OutputNames names_;
  ExportPlan plan_;
  std::string folder_;
  std::string merge_path_;
  MergeFile merge_;
  bool parallel_ = false;
  std::vector<PlannedEntry> planned_;  // every selected row, planned before a parallel run
  int32_t last_row_ = -1;              // the row a single thread took up last
  PlannedEntry taken_;                 // its entry and file
  int32_t planned_count_ = 0;          // rows planned so far
  ExportResult result_;
};

ExportResult ExportRun::Run() {
  std::unique_ptr<SettingsStore> own_store;
  const SettingsStore* store = setup_.settings;
  if (!store) {
    own_store = OpenSettingsStore();
    store = own_store.get();
  }
  plan_.settings = LoadOutputSettings(*store);
  plan_.index = index_;
  plan_.open_file = setup_.open_file;
  plan_.album = setup_.album;
  plan_.flac_level = setup_.flac_level;
  // Any type but 0 is WAV, as the settings dialog shows it, unless the
  // face offers FLAC.
  plan_.kind = plan_.settings.type == 0                                ? OutputKind::kOgg
               : plan_.settings.type == kOutputTypeFlac && setup_.flac ? OutputKind::kFlac
                                                                       : OutputKind::kWav;
  plan_.merge = plan_.kind != OutputKind::kOgg && plan_.settings.merge != 0;
  const InputMark archive = index_ ? MarkInput(index_->fd, index_->path) : InputMark();
  if (ChooseDestination() && OutputsReplaceable()) {
    result_.destination = true;
    ExportRows();
    if (!result_.output_failed) EndMessages();
  }
  Restore();
  return result_;
}

bool ExportRun::ChooseDestination() {
  if (!plan_.merge) return window_.PickFolder(Say(Text::kPickFolderTitle), &folder_);
  std::string path;
  if (!window_.PickSaveFile(&path)) return false;
  merge_path_ = path;
  // Never the archive itself, however named (common/input_files.h).
  Result<std::unique_ptr<ExportFile>> opened = setup_.open_file(path, OutputPlace::kNamed);
  if (!opened) return CannotOpen(path, opened.failure().text);
  merge_.file = std::move(*opened);
  return true;
}

// The window's message, and why for a face that has room for it.
bool ExportRun::CannotOpen(const std::string& path, const std::string& reason) {
  window_.ShowMessage(Say(Text::kCannotOpenOutput, window_.PathText(path)),
                      Say(Text::kCaptionFailure));
  window_.ShowReason(reason);
  return false;
}

// Before the first entry: an entry's file that exists but could not be
// replaced, or a folder no file can be made in, is an output that cannot
// be opened, found before anything is written. (The merge file's open
// finds the same.)
bool ExportRun::OutputsReplaceable() {
  if (plan_.merge) return true;
  if (const Result<> creatable = CanCreateIn(folder_); !creatable) {
    return CannotOpen(folder_, window_.PathText(folder_) + ": " + creatable.failure().text);
  }
  OutputNames names = names_;  // nothing claimed yet: the names the run will give
  const char* extension = Extension();
  int32_t place = 0;
  for (int32_t row = window_.NextSelectedRow(-1); row != -1; row = window_.NextSelectedRow(row)) {
    const int32_t entry = window_.RowEntry(row);
    const std::string stem = names.Claim(FileName(entry, ++place), entry);
    const std::string path = window_.OutputPath(folder_, stem, extension);
    const Result<> replaceable = Kept(path) ? Result<>() : CanReplace(path);
    if (!replaceable) {
      return CannotOpen(path, window_.PathText(path) + ": " + replaceable.failure().text);
    }
  }
  return true;
}

void ExportRun::ExportRows() {
  const int32_t selected = result_.selected = window_.SelectedCount();
  window_.SetProgressRange(0, selected);
  parallel_ = JobThreads(state_) > 1 && selected > 1;
  if (PlansAhead()) PlanRows();
  if (setup_.loudness && !MeasureRows()) return;
  OrderedWork<ExportedEntry> work;
  work.count = PlansAhead() ? static_cast<int32_t>(planned_.size()) : selected;
  work.threads = parallel_ ? JobThreads(state_) : 1;
  work.keep_going = [this] { return state_.running.load() != 0; };
  work.take_up = [this](int32_t item) { TakeUp(item); };
  work.work = [this](int32_t item) { return Make(item); };
  work.commit = [this](int32_t, ExportedEntry& made) { return Commit(made); };
  work.discard = [](ExportedEntry& made) { made.Discard(); };
  RunOrdered(work);
}

// Before a parallel run every row is known with its file: names are claimed
// in list order, and a merge file's format is fixed, as one thread would.
void ExportRun::PlanRows() {
  for (int32_t row = window_.NextSelectedRow(-1); row != -1; row = window_.NextSelectedRow(row)) {
    planned_.push_back(PlanEntry(window_.RowEntry(row)));
  }
  for (const PlannedEntry& planned : planned_) {
    if (!plan_.merge || merge_.format_fixed) break;
    FixMergeFormat(planned.entry);
  }
}

// Each entry measured on every core, as the entries' files are written;
// false when stopped.
bool ExportRun::MeasureRows() {
  const auto count = static_cast<int32_t>(planned_.size());
  std::vector<MeasuredEntry> measured(planned_.size());
  const FormatFor format_for = [this](const PcmFormat& source) {
    return plan_.merge ? merge_.format : ExportFormat(plan_.settings, source);
  };
  OrderedWork<Result<MeasuredEntry, EntryProblem>> work;
  work.count = count;
  work.threads = JobThreads(state_);
  work.keep_going = [this] { return state_.running.load() != 0; };
  work.work = [&](int32_t item) -> Result<MeasuredEntry, EntryProblem> {
    const PlannedEntry& planned = planned_[static_cast<size_t>(item)];
    if (Kept(planned.path)) return EntryProblem::kKept;
    return MeasureEntry(index_, planned.entry, format_for);
  };
  int32_t done = 0;
  work.commit = [&](int32_t item, Result<MeasuredEntry, EntryProblem>& entry) {
    window_.SetJobTitle(Say(Text::kWorkMeasuring, item + 1, count));
    window_.SetProgressPosition(item);
    if (entry) measured[static_cast<size_t>(item)] = std::move(*entry);
    done = item + 1;
    return true;
  };
  RunOrdered(work);
  if (done < count) return false;
  SetGains(measured);
  return true;
}

// Each entry's own gain, or one for all of them measured as one. Entries
// that could not be measured get none: they fail again when made.
void ExportRun::SetGains(std::vector<MeasuredEntry>& measured) {
  const LoudnessGain album = setup_.loudness_album
                                 ? GainFor(CombinedLoudness(measured), *setup_.loudness)
                                 : LoudnessGain{};
  for (size_t i = 0; i < measured.size(); ++i) {
    if (!measured[i].meter) continue;
    const Loudness& own = measured[i].loudness;
    const LoudnessGain gain = setup_.loudness_album ? album : GainFor(own, *setup_.loudness);
    planned_[i].loudness = EntryLoudness{own.integrated, own.true_peak, gain.gain, gain.limited};
    measured[i].meter.reset();
  }
}

// The entry the job turns to, the oldest not yet finished, is named in the
// title, with the progress bar at the entries finished, before it is made.
void ExportRun::TakeUp(int32_t item) {
  if (!PlansAhead()) taken_ = NextRow();
  const PlannedEntry& planned = PlansAhead() ? planned_[static_cast<size_t>(item)] : taken_;
  if (planned.entry == -1) return;  // no more rows selected after all
  const std::string name = window_.NameText(EntryName(index_, planned.entry));
  window_.SetJobTitle(Say(Text::kWorkExporting, name, result_.processed + 1, result_.selected));
  window_.SetProgressPosition(result_.processed);
}

// A single thread takes up the rows as it goes.
PlannedEntry ExportRun::NextRow() {
  last_row_ = window_.NextSelectedRow(last_row_);
  if (last_row_ == -1) return {};
  PlannedEntry planned = PlanEntry(window_.RowEntry(last_row_));
  if (plan_.merge && !merge_.format_fixed) FixMergeFormat(planned.entry);
  return planned;
}

PlannedEntry ExportRun::PlanEntry(int32_t entry) {
  if (plan_.merge) return {entry, {}, {}};
  const std::string stem = names_.Claim(FileName(entry, ++planned_count_), entry);
  return {entry, window_.OutputPath(folder_, stem, Extension()), {}};
}

// "Same as the source" in a merge file means as the first entry that opens.
void ExportRun::FixMergeFormat(int32_t entry) {
  const Result<PcmFormat, EntryProblem> source = FirstMergeFormat(index_, entry);
  if (!source) return;
  merge_.format = ExportFormat(plan_.settings, *source);
  merge_.format_fixed = true;
  merge_.gap =
      static_cast<uint64_t>(std::llround(setup_.gap_seconds * merge_.format.samples_per_sec)) *
      merge_.format.block_align;
}

// Any thread in a parallel run; a single thread writes a merge entry
// straight into the merge file.
ExportedEntry ExportRun::Make(int32_t item) {
  const PlannedEntry planned = PlansAhead() ? planned_[static_cast<size_t>(item)] : taken_;
  if (planned.entry == -1) return {};  // no more rows selected after all
  if (Kept(planned.path)) {
    ExportedEntry kept;
    kept.outcome.entry = planned.entry;
    kept.outcome.problem = EntryProblem::kKept;
    kept.path = planned.path;
    return kept;
  }
  MergeSink sink;
  if (plan_.merge && !Spills()) {
    sink.begin = [this](const PcmFormat& format) { return StartMerge(format); };
    sink.written_before = merge_.data_bytes;
    sink.lead = merge_.data_bytes > 0 ? merge_.gap : 0;
  }
  const float gain = planned.loudness ? GainFactor(planned.loudness->gain) : 1;
  ExportedEntry made =
      ExportEntry(plan_, planned.entry, planned.path, merge_.format, std::move(sink), gain);
  made.outcome.loudness = planned.loudness;
  return made;
}

bool ExportRun::Commit(ExportedEntry& made) {
  if (!PlansAhead() && last_row_ == -1) return false;
  const EntryOutcome& outcome = made.outcome;
  const std::string name = window_.NameText(EntryName(index_, outcome.entry));
  if (made.cannot_open) {
    window_.ShowMessage(Say(Text::kCannotOpenOutput, window_.PathText(made.path)),
                        Say(Text::kCaptionFailure));
    result_.output_failed = true;
    return false;
  }
  const bool ok = plan_.merge ? AddToMerge(made, name) : FinishOwnFile(made);
  result_.succeeded += ok ? 1 : 0;
  result_.damaged += ok && outcome.problem != EntryProblem::kNone ? 1 : 0;
  result_.skipped += outcome.problem == EntryProblem::kKept ? 1 : 0;
  ++result_.processed;
  made.outcome.path = plan_.merge ? merge_path_ : made.path;
  made.outcome.bytes = made.bytes;
  result_.entries.push_back(outcome);
  window_.ReportEntry(outcome, EntryName(index_, outcome.entry));
  if (result_.merge_write_failed) return false;
  if (plan_.merge && merge_.data_bytes > static_cast<uint64_t>(setup_.merge_limit)) {
    window_.ShowMessage(Say(Text::kMergeTooLarge, name), Say(Text::kCaptionWarning));
    return false;
  }
  return true;
}

// A failed entry leaves nothing: its file is not created, and an earlier
// file of its name stays as it was.
bool ExportRun::FinishOwnFile(ExportedEntry& made) {
  EntryOutcome& outcome = made.outcome;
  if (!outcome.ok) {
    made.Discard();
    return false;
  }
  errno = 0;
  outcome.ok = made.writer ? made.writer->Finish({}) : made.file->Finish({});
  made.writer.reset();
  made.file.reset();
  if (!outcome.ok) {
    outcome.problem = EntryProblem::kWriteFailed;
    outcome.system_error = errno;
  }
  return outcome.ok;
}

// A merge file takes only whole entries: one that fails part way is cut
// out again.
bool ExportRun::AddToMerge(ExportedEntry& made, const std::string& name) {
  EntryOutcome& outcome = made.outcome;
  if (outcome.ok && Spills()) outcome.ok = AppendSpill(made);
  if (outcome.ok) {
    if (setup_.markers && made.format.block_align != 0) {
      merge_.cues.push_back(
          {static_cast<uint32_t>((merge_.data_bytes + made.lead) / made.format.block_align), name});
    }
    merge_.data_bytes += made.bytes;
    merge_.last_whole = name;
    return true;
  }
  if (made.bytes > 0 || outcome.problem == EntryProblem::kWriteFailed) {
    KeepWholeEntries(outcome.problem);
  }
  return false;
}

// A merge entry that waited in its spill buffer goes in now, after the
// silence between it and the entry before.
bool ExportRun::AppendSpill(ExportedEntry& made) {
  EntryOutcome& outcome = made.outcome;
  const auto fail = [&](EntryProblem problem, int system_error) {
    outcome.problem = problem;
    outcome.system_error = system_error;
    return false;
  };
  const uint64_t lead = merge_.data_bytes > 0 ? merge_.gap : 0;
  if (merge_.data_bytes + lead + made.bytes > 0xFFFFFFFFu - 36) {
    return fail(EntryProblem::kTooLarge, 0);
  }
  errno = 0;
  PcmWriter* writer = StartMerge(made.format);
  if (!writer) return fail(EntryProblem::kWriteFailed, errno);
  made.lead = lead;
  made.bytes += lead;
  const bool appended =
      WriteSilence(*writer, lead) && made.spill.DrainTo([writer](const uint8_t* data, size_t size) {
        return writer->Write({data, size});
      });
  if (!appended || !writer->Flush()) return fail(EntryProblem::kWriteFailed, errno);
  return true;
}

// The first entry that gets this far writes the merge file's header; it
// gets no other. A header that falls short leaves the file broken. A
// stream gets the sizes of one whose length is not known: it cannot be
// patched. A FLAC file keeps room for a track per selected entry.
PcmWriter* ExportRun::StartMerge(const PcmFormat& format) {
  if (merge_.writer || merge_.broken) return merge_.writer.get();
  const PcmFileSetup setup{.kind = plan_.kind,
                           .format = format,
                           .tags = {{"ALBUM", plan_.album}},
                           .cue_tracks = setup_.markers ? result_.selected : 0,
                           .flac_level = plan_.flac_level};
  merge_.writer = StartPcmFile(*merge_.file, setup);
  merge_.broken = !merge_.writer;
  return merge_.writer.get();
}

// After an entry failed in the middle of the merge file: the file is cut
// back to the entries written whole. A file that cannot be written to any
// more ends the run, keeping what it has.
void ExportRun::KeepWholeEntries(EntryProblem problem) {
  const bool cut = merge_.writer && merge_.writer->CutBack(merge_.data_bytes);
  if (cut && problem != EntryProblem::kWriteFailed) return;
  result_.merge_write_failed = true;
  if (merge_.data_bytes == 0 || !cut) {
    merge_.writer.reset();
    merge_.file->Discard();
    merge_.file.reset();
    window_.ShowMessage(Say(Text::kMergeWriteFailedEmpty), Say(Text::kCaptionFailure));
  } else {
    window_.ShowMessage(Say(Text::kMergeWriteFailed, merge_.last_whole),
                        Say(Text::kCaptionFailure));
  }
}

// A merge file that never got its header is not kept: it would hold no audio.
bool ExportRun::FinishMerge() {
  const std::unique_ptr<ExportFile> file = std::move(merge_.file);
  const std::unique_ptr<PcmWriter> writer = std::move(merge_.writer);
  if (!writer) {
    file->Discard();
    return false;
  }
  return writer->Finish(merge_.cues);
}

void ExportRun::EndMessages() {
  // The merge file is completed before the summary, so that one that
  // cannot be kept is counted in it.
  if (plan_.merge && merge_.file && !FinishMerge()) result_.succeeded = 0;
  ShowEndMessages(window_, Text::kExportFailed, Text::kExportStopped, result_.selected,
                  result_.processed, result_.succeeded + result_.skipped);
}

void ExportRun::Restore() {
  merge_.writer.reset();
  if (merge_.file) merge_.file->Discard();  // only after a run that ended on an open failure
  RestoreControls(window_, Control::kOutput);
  window_.SetProgressPosition(0);
  state_.running = 0;
}

}  // namespace

ExportResult RunExport(AppState* state, const ExportSetup& setup) {
  return ExportRun(state, setup).Run();
}

void ExportJob(AppState* state) { RunExport(state, ExportSetup{}); }

}  // namespace kowaki
