#include "jobs/export_job.h"

#include <array>
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
    bool broken = false;  // a header write fell short: nothing more goes in
    uint64_t data_bytes = 0;
  };

  bool ChooseDestination();
  bool OutputsReplaceable();
  void ExportRows();
  void EndMessages();
  void Restore();

  std::unique_ptr<ExportFile> OpenOutput(const std::string& path, OutputPlace place);
  bool OpenWav(const std::string& path, OutputPlace place);
  bool FinishWav();
  bool CopyEntry(int32_t entry);
  bool WriteEntryAsWav(int32_t entry);
  bool OpenEntryWav(int32_t entry);
  PcmFormat TargetFormat(const PcmFormat& source);
  bool WriteHeader(const PcmFormat& target);
  bool ConvertEntry(EntryDecoder& decoder, PcmConverter& converter, const PcmFormat& target,
                    uint64_t* entry_bytes);
  bool WriteOut(PcmConverter& converter, uint64_t* entry_bytes);

  AppState& state_;
  JobWindow& window_;
  const ExportSetup& setup_;
  OutputNames names_;
  OutputSettings settings_{};
  bool wav_ = false;
  bool merge_ = false;
  std::string folder_;
  WavOutput out_;
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
  if (ChooseDestination() && OutputsReplaceable()) {
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
  if (!OpenWav(path, OutputPlace::kNamed)) {
    window_.ShowMessage(FormatText(texts::kCannotOpenOutput, window_.PathText(path).c_str()),
                        texts::kCaptionFailure);
    return false;
  }
  return true;
}

// Before the first entry: an entry's file that exists but could not be
// replaced, or a folder no file can be made in, is an output that cannot
// be opened, found before anything is written. (The merge file's open
// finds the same.)
bool ExportRun::OutputsReplaceable() {
  if (merge_) return true;
  std::string problem_path;
  if (!FolderProblem(folder_).empty()) problem_path = folder_;
  OutputNames names = names_;  // nothing claimed yet: the names the run will give
  const char* extension = wav_ ? ".wav" : ".ogg";
  for (int32_t row = window_.NextSelectedRow(-1); row != -1 && problem_path.empty();
       row = window_.NextSelectedRow(row)) {
    const int32_t entry = window_.RowEntry(row);
    const std::string stem = names.Claim(EntryName(state_.index, entry), entry);
    const std::string path = window_.OutputPath(folder_, stem, extension);
    if (!ReplaceProblem(path).empty()) problem_path = path;
  }
  if (problem_path.empty()) return true;
  window_.ShowMessage(FormatText(texts::kCannotOpenOutput, window_.PathText(problem_path).c_str()),
                      texts::kCaptionFailure);
  return false;
}

void ExportRun::ExportRows() {
  int32_t& processed = result_.processed;
  int32_t& succeeded = result_.succeeded;
  const int32_t selected = result_.selected = window_.SelectedCount();
  window_.SetProgressRange(0, selected);
  for (int32_t row = window_.NextSelectedRow(-1); row != -1; row = window_.NextSelectedRow(row)) {
    if (state_.running.load() == 0) return;
    const int32_t entry = window_.RowEntry(row);
    const std::string name = window_.NameText(EntryName(state_.index, entry));
    window_.SetJobTitle(FormatText(texts::kWorkExporting, name.c_str(), processed + 1, selected));
    window_.SetProgressPosition(processed);
    bool ok = wav_ ? WriteEntryAsWav(entry) : CopyEntry(entry);
    if (result_.output_failed) return;
    // Unless it is kept whole, an entry's own file does not count as written.
    if (wav_ && !merge_) ok = FinishWav() && ok;
    succeeded += ok ? 1 : 0;
    ++processed;
    if (merge_ && out_.data_bytes > static_cast<uint64_t>(setup_.merge_limit)) {
      window_.ShowMessage(FormatText(texts::kMergeTooLarge, name.c_str()), texts::kCaptionWarning);
      return;
    }
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

// The archive itself is never an output: replacing it would lose it, and
// the entries still to come are read from it.
std::unique_ptr<ExportFile> ExportRun::OpenOutput(const std::string& path, OutputPlace place) {
  if (state_.index && platform::SameFile(path, state_.index->path)) return nullptr;
  return setup_.open_file(path, place);
}

bool ExportRun::OpenWav(const std::string& path, OutputPlace place) {
  out_ = WavOutput{};
  out_.file = OpenOutput(path, place);
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
  EntryStream* stream = OpenEntryStream(state_.index, entry);
  if (!stream) return false;
  const std::string path = window_.OutputPath(folder_, stem, ".ogg");
  std::unique_ptr<ExportFile> file = OpenOutput(path, OutputPlace::kInFolder);
  if (!file) {
    EntryClose(stream);
    return false;
  }
  const uint64_t size = stream->entry.size;
  uint64_t copied = 0;
  bool ok = false;
  for (;;) {
    const size_t n = EntryRead(buffer_.data(), 1, buffer_.size(), stream);
    // A read error is no end of the entry, and neither is an archive that
    // ends before the entry does.
    if (n == static_cast<size_t>(-1)) break;
    if (n == 0) {
      ok = copied == size;
      break;
    }
    if (!file->Write(buffer_.data(), n)) break;
    copied += n;
  }
  EntryClose(stream);
  return file->Finish({}) && ok;
}

bool ExportRun::WriteOut(PcmConverter& converter, uint64_t* entry_bytes) {
  PcmSpan span;
  if (!converter.get(&span)) return false;
  const auto length = static_cast<uint64_t>(span.length);
  if (out_.data_bytes + *entry_bytes + length > kWavDataMax) return false;
  if (length == 0) return true;
  if (!out_.file->Write(span.data, static_cast<size_t>(span.length))) return false;
  *entry_bytes += length;
  return true;
}

bool ExportRun::WriteEntryAsWav(int32_t entry) {
  if (!merge_ && !OpenEntryWav(entry)) return false;
  EntryDecoder decoder(state_.index, entry);
  if (!decoder.is_open()) return false;
  const PcmFormat source = decoder.format();
  const PcmFormat target = TargetFormat(source);
  // The converter before the header: an entry it cannot take (more than two
  // channels to mono or stereo, say) leaves no mislabelled file.
  PcmConverterPtr converter = PcmConverter::create();
  if (!converter || !converter->setup(source, target) || !WriteHeader(target)) return false;
  uint64_t entry_bytes = 0;
  const bool ok = ConvertEntry(decoder, *converter, target, &entry_bytes);
  out_.data_bytes += entry_bytes;
  return ok;
}

// An entry's own WAV file; one that cannot be opened ends the run.
bool ExportRun::OpenEntryWav(int32_t entry) {
  const std::string stem = names_.Claim(EntryName(state_.index, entry), entry);
  const std::string path = window_.OutputPath(folder_, stem, ".wav");
  if (OpenWav(path, OutputPlace::kInFolder)) return true;
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
// A stream gets the sizes of one whose length is not known: it cannot be
// patched.
bool ExportRun::WriteHeader(const PcmFormat& target) {
  if (out_.broken) return false;
  if (!out_.has_header) {
    const auto header = MakeWavHeader(target, out_.file->IsStream() ? kWavSizeUnknown : 0);
    out_.has_header = out_.file->Write(header.data(), header.size());
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
    if (block.length == 0) break;
    if (block.format_changed && !(converter.flush() && WriteOut(converter, entry_bytes) &&
                                  converter.setup(decoder.format(), target))) {
      return false;
    }
    if (!converter.put({buffer_.data(), static_cast<int32_t>(block.length)}) ||
        !WriteOut(converter, entry_bytes)) {
      return false;
    }
  }
  return converter.flush() && WriteOut(converter, entry_bytes) && out_.file->Flush();
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
