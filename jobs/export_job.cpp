#include "jobs/export_job.h"

#include <array>
#include <cerrno>
#include <memory>
#include <string>

#include "archive/entry_stream.h"
#include "common/output_file.h"
#include "convert/pcm_converter.h"
#include "convert/wav_file.h"
#include "jobs/entry_decoder.h"
#include "jobs/format_text.h"
#include "jobs/job_end.h"
#include "jobs/output_names.h"
#include "jobs/texts.h"
#include "settings/output_settings.h"

namespace kowaki {

namespace {

constexpr size_t kBlockSize = 8192;
// What the 32-bit sizes of a WAV header can describe.
constexpr uint64_t kWavDataMax = 0xFFFFFFFFu - 36;

struct StreamCloser {
  void operator()(EntryStream* stream) const { EntryClose(stream); }
};
using StreamPtr = std::unique_ptr<EntryStream, StreamCloser>;

// One run of the job: its settings, destination and counters.
class ExportRun {
 public:
  ExportRun(AppState* state, const ExportSetup& setup)
      : state_(*state),
        window_(*state->window),
        setup_(setup),
        names_([this](std::string_view stem) { return window_.NameText(stem); }) {}

  ExportResult Run();

 private:
  // The open WAV file: the merge file for the whole run, or one entry's.
  struct WavOutput {
    std::unique_ptr<ExportFile> file;
    OutputSettings job;  // fixes the file's format
    PcmFormat format{};
    bool has_header = false;
    bool broken = false;      // a header write fell short: nothing more goes in
    uint64_t data_bytes = 0;  // in entries written whole
    std::string last_whole;   // the name of the last of them, as text
  };

  bool ChooseDestination();
  void ExportRows();
  bool ExportEntry(int32_t entry, const std::string& name);
  void EndMessages();
  void Restore();

  // Records why the entry failed (the first reason found); always false.
  bool Fail(EntryProblem problem, int system_error = 0);
  bool StillListed();
  std::unique_ptr<ExportFile> OpenOutput(const std::string& path);
  bool OpenWav(const std::string& path);
  bool FinishWav();
  void KeepWholeEntries();
  bool CopyEntry(int32_t entry);
  bool CopyBytes(EntryStream& stream, ExportFile& file);
  bool WriteEntryAsWav(int32_t entry, uint64_t* entry_bytes);
  bool OpenEntryWav(int32_t entry);
  PcmFormat TargetFormat(const PcmFormat& source);
  bool WriteHeader(const PcmFormat& target);
  bool ConvertEntry(EntryDecoder& decoder, PcmConverter& converter, const PcmFormat& target,
                    uint64_t* entry_bytes);
  bool WriteOut(PcmConverter& converter, uint64_t* entry_bytes);
  bool Write(ExportFile& file, const void* data, size_t size);

  AppState& state_;
  JobWindow& window_;
  const ExportSetup& setup_;
  OutputNames names_;
  OutputSettings settings_{};
  bool wav_ = false;
  bool merge_ = false;
  std::string folder_;
  WavOutput out_;
  EntryOutcome current_;  // the entry being written
  ExportResult result_;
  std::array<uint8_t, kBlockSize> buffer_{};
};

ExportResult ExportRun::Run() {
  std::unique_ptr<SettingsStore> own_store;
  const SettingsStore* store = setup_.settings;
  if (!store) {
    own_store = OpenSettingsStore();
    store = own_store.get();
  }
  settings_ = LoadOutputSettings(*store);
  // Any type but 0 is WAV, as the settings dialog shows it.
  wav_ = settings_.type != 0;
  merge_ = wav_ && settings_.merge != 0;
  if (ChooseDestination()) {
    result_.destination = true;
    ExportRows();
    if (!result_.output_failed) EndMessages();
  }
  Restore();
  return result_;
}

bool ExportRun::ChooseDestination() {
  if (!merge_) return window_.PickFolder(texts::kPickFolderTitle, &folder_);
  std::string path;
  if (!window_.PickSaveFile(&path)) return false;
  if (!OpenWav(path)) {
    window_.ShowMessage(FormatText(texts::kCannotOpenOutput, window_.PathText(path).c_str()),
                        texts::kCaptionFailure);
    return false;
  }
  return true;
}

void ExportRun::ExportRows() {
  const int32_t selected = result_.selected = window_.SelectedCount();
  window_.SetProgressRange(0, selected);
  for (int32_t row = window_.NextSelectedRow(-1); row != -1; row = window_.NextSelectedRow(row)) {
    if (state_.running.load() == 0) return;
    const int32_t entry = window_.RowEntry(row);
    const std::string name = window_.NameText(EntryName(state_.index, entry));
    window_.SetJobTitle(
        FormatText(texts::kWorkExporting, name.c_str(), result_.processed + 1, selected));
    window_.SetProgressPosition(result_.processed);
    const bool ok = ExportEntry(entry, name);
    if (result_.output_failed) return;
    result_.succeeded += ok ? 1 : 0;
    ++result_.processed;
    result_.entries.push_back(current_);
    window_.ReportEntry(current_, EntryName(state_.index, entry));
    if (result_.merge_write_failed) return;
    if (merge_ && out_.data_bytes > static_cast<uint64_t>(setup_.merge_limit)) {
      window_.ShowMessage(FormatText(texts::kMergeTooLarge, name.c_str()), texts::kCaptionWarning);
      return;
    }
  }
}

// Writes one entry. A failed entry leaves nothing behind: no file of its
// own (an earlier file of that name stays as it was), and none of its
// audio in a merge file.
bool ExportRun::ExportEntry(int32_t entry, const std::string& name) {
  current_ = EntryOutcome{entry};
  if (!wav_) return current_.ok = CopyEntry(entry);
  uint64_t entry_bytes = 0;
  current_.ok = WriteEntryAsWav(entry, &entry_bytes);
  if (current_.ok) out_.data_bytes += entry_bytes;
  if (merge_) {
    if (current_.ok) {
      out_.last_whole = name;
    } else if (entry_bytes > 0 || current_.problem == EntryProblem::kWriteFailed) {
      KeepWholeEntries();
    }
  } else if (current_.ok) {
    current_.ok = FinishWav() || Fail(EntryProblem::kWriteFailed, errno);
  } else if (out_.file) {
    out_.file->Discard();
    out_.file.reset();
  }
  return current_.ok;
}

// After an entry failed in the middle of a merge file: the file is cut
// back to the entries written whole. A file that cannot be written to
// any more ends the run, keeping what it has.
void ExportRun::KeepWholeEntries() {
  const bool cut = out_.has_header && out_.file->CutBack(kWavHeaderSize + out_.data_bytes);
  if (cut && current_.problem != EntryProblem::kWriteFailed) return;
  result_.merge_write_failed = true;
  if (out_.data_bytes == 0 || !cut) {
    out_.file->Discard();
    out_.file.reset();
    window_.ShowMessage(texts::kMergeWriteFailedEmpty, texts::kCaptionFailure);
  } else {
    window_.ShowMessage(FormatText(texts::kMergeWriteFailed, out_.last_whole.c_str()),
                        texts::kCaptionFailure);
  }
}

void ExportRun::EndMessages() {
  // The merge file is completed before the summary, so that one that
  // cannot be kept is counted in it.
  if (merge_ && out_.file && !FinishWav()) result_.succeeded = 0;
  ShowEndMessages(window_, texts::kExportFailed, texts::kExportStopped, result_.selected,
                  result_.processed, result_.succeeded);
}

void ExportRun::Restore() {
  if (out_.file) out_.file->Discard();  // only after a run that ended on an open failure
  RestoreControls(window_, Control::kOutput);
  window_.SetProgressPosition(0);
  state_.running = 0;
}

bool ExportRun::Fail(EntryProblem problem, int system_error) {
  if (current_.problem == EntryProblem::kNone) {
    current_.problem = problem;
    current_.system_error = system_error;
  }
  return false;
}

// An entry is only as good as the archive it came from: one written to
// while the entry was read gave it other bytes.
bool ExportRun::StillListed() {
  return ArchiveUnchanged(state_.index) || Fail(EntryProblem::kArchiveChanged);
}

// The archive itself is never an output: replacing it would lose it, and
// the entries still to come are read from it.
std::unique_ptr<ExportFile> ExportRun::OpenOutput(const std::string& path) {
  if (state_.index && platform::SameFile(path, state_.index->path)) return nullptr;
  return setup_.open_file(path);
}

bool ExportRun::OpenWav(const std::string& path) {
  out_ = WavOutput{};
  out_.file = OpenOutput(path);
  out_.job = settings_;
  return out_.file != nullptr;
}

// A file that never got its header is not kept: it would hold no audio.
bool ExportRun::FinishWav() {
  std::unique_ptr<ExportFile> file = std::move(out_.file);
  if (!out_.has_header) {
    file->Discard();
    return false;
  }
  const auto header = MakeWavHeader(out_.format, static_cast<uint32_t>(out_.data_bytes));
  return file->Finish(header);
}

bool ExportRun::CopyEntry(int32_t entry) {
  const std::string stem = names_.Claim(EntryName(state_.index, entry), entry);
  if (!StillListed()) return false;
  StreamPtr stream(OpenEntryStream(state_.index, entry));
  if (!stream) return Fail(EntryProblem::kReadFailed, errno);
  if (EntryCutShort(*stream)) return Fail(EntryProblem::kCutShort);
  const std::string path = window_.OutputPath(folder_, stem, ".ogg");
  std::unique_ptr<ExportFile> file = OpenOutput(path);
  if (!file) return Fail(EntryProblem::kCannotOpenOutput, errno);
  if (!CopyBytes(*stream, *file) || !StillListed()) {
    file->Discard();
    return false;
  }
  return file->Finish({}) || Fail(EntryProblem::kWriteFailed, errno);
}

bool ExportRun::CopyBytes(EntryStream& stream, ExportFile& file) {
  uint64_t copied = 0;
  for (;;) {
    const size_t n = EntryRead(buffer_.data(), 1, buffer_.size(), &stream);
    if (n == static_cast<size_t>(-1)) return Fail(EntryProblem::kReadFailed, errno);
    if (n == 0) break;
    if (!Write(file, buffer_.data(), n)) return false;
    copied += n;
  }
  // Fewer bytes than the index gives: the archive shrank under us.
  return copied == stream.entry.size || Fail(EntryProblem::kArchiveChanged);
}

bool ExportRun::Write(ExportFile& file, const void* data, size_t size) {
  errno = 0;
  return file.Write(data, size) || Fail(EntryProblem::kWriteFailed, errno);
}

bool ExportRun::WriteOut(PcmConverter& converter, uint64_t* entry_bytes) {
  PcmSpan span;
  if (!converter.get(&span)) return Fail(EntryProblem::kCannotConvert);
  const auto length = static_cast<uint64_t>(span.length);
  if (out_.data_bytes + *entry_bytes + length > kWavDataMax) return Fail(EntryProblem::kTooLarge);
  if (length == 0) return true;
  if (!Write(*out_.file, span.data, static_cast<size_t>(span.length))) return false;
  *entry_bytes += length;
  return true;
}

bool ExportRun::WriteEntryAsWav(int32_t entry, uint64_t* entry_bytes) {
  if (!merge_ && !OpenEntryWav(entry)) return false;
  EntryDecoder decoder(state_.index, entry);
  if (!decoder.is_open()) return Fail(decoder.problem(), errno);
  if (decoder.cut_short()) return Fail(EntryProblem::kCutShort);
  const PcmFormat source = decoder.format();
  const PcmFormat target = TargetFormat(source);
  // The converter before the header: an entry it cannot take (more than two
  // channels to mono or stereo, say) leaves no mislabelled file.
  PcmConverterPtr converter = PcmConverter::create();
  if (!converter || !converter->setup(source, target)) return Fail(EntryProblem::kCannotConvert);
  return WriteHeader(target) && ConvertEntry(decoder, *converter, target, entry_bytes) &&
         StillListed();
}

// An entry's own WAV file; one that cannot be opened ends the run.
bool ExportRun::OpenEntryWav(int32_t entry) {
  const std::string stem = names_.Claim(EntryName(state_.index, entry), entry);
  const std::string path = window_.OutputPath(folder_, stem, ".wav");
  if (OpenWav(path)) return true;
  window_.ShowMessage(FormatText(texts::kCannotOpenOutput, window_.PathText(path).c_str()),
                      texts::kCaptionFailure);
  result_.output_failed = true;
  return false;
}

// The settings' rate and channels, or the source's where they say "same
// as the source". In a merge file the first entry that opens decides that.
PcmFormat ExportRun::TargetFormat(const PcmFormat& source) {
  OutputSettings& job = out_.job;
  const auto rate = static_cast<int32_t>(source.samples_per_sec);
  const int32_t channels = source.channels;
  if (merge_) {
    if (job.frq <= 0) job.frq = rate;
    if (job.ch <= 0) job.ch = channels;
  }
  return MakePcmFormat(static_cast<uint32_t>(job.frq > 0 ? job.frq : rate),
                       static_cast<uint16_t>(job.ch > 0 ? job.ch : channels), 16);
}

// The first entry that gets this far writes the file's header; a merge
// file gets no other. A header that falls short leaves the file broken.
bool ExportRun::WriteHeader(const PcmFormat& target) {
  if (out_.broken) return Fail(EntryProblem::kWriteFailed);
  if (!out_.has_header) {
    const auto header = MakeWavHeader(target, 0);
    out_.has_header = Write(*out_.file, header.data(), header.size());
    out_.broken = !out_.has_header;
    out_.format = target;
  }
  return out_.has_header;
}

// Decodes the entry through the converter into the file. An entry of
// chained streams may change rate or channels from one link to the next:
// each link is converted to the file's format.
bool ExportRun::ConvertEntry(EntryDecoder& decoder, PcmConverter& converter,
                             const PcmFormat& target, uint64_t* entry_bytes) {
  for (;;) {
    const EntryDecoder::Block block = decoder.Read(buffer_);
    if (block.read_failed) return Fail(EntryProblem::kReadFailed);
    if (block.length == 0) break;
    if (block.format_changed &&
        !(converter.flush() && WriteOut(converter, entry_bytes) &&
          (converter.setup(decoder.format(), target) || Fail(EntryProblem::kCannotConvert)))) {
      return false;
    }
    if (!converter.put({buffer_.data(), static_cast<int32_t>(block.length)})) {
      return Fail(EntryProblem::kCannotConvert);
    }
    if (!WriteOut(converter, entry_bytes)) return false;
  }
  errno = 0;
  return (converter.flush() || Fail(EntryProblem::kCannotConvert)) &&
         WriteOut(converter, entry_bytes) &&
         (out_.file->Flush() || Fail(EntryProblem::kWriteFailed, errno));
}

}  // namespace

ExportResult RunExport(AppState* state, const ExportSetup& setup) {
  return ExportRun(state, setup).Run();
}

int ExportJob(AppState* state) {
  RunExport(state, ExportSetup{});
  return 0;
}

}  // namespace kowaki
