#include "cli/commands/modding.h"

#include <algorithm>
#include <charconv>

#include "cli/arguments/global_options.h"
#include "cli/commands.h"
#include "cli/commands/entry_selection.h"
#include "cli/output/reasons.h"
#include "cli/output/text_output.h"
#include "cli/terminal/interrupt.h"
#include "cli/terminal/language.h"
#include "common/temp_files.h"
#include "convert/vorbis_encoder.h"
#include "modding/backup.h"
#include "modding/recording.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {
// Lines of one kind shown each before they are counted instead.
constexpr size_t kFewLines = 5;
}  // namespace

ArchiveIndexPtr LoadArchiveArgument(const std::string& path) {
  ArchiveLoad loaded = LoadArchiveIndex(path.c_str());
  if (!loaded) Complain(CannotLoadText(path, loaded.failure()));
  return std::move(loaded).value_or(nullptr);
}

std::string EntryLabel(size_t i, std::string_view name) {
  return Say(Text::kEntryLabel, static_cast<long long>(i), Cp932ToUtf8(name));
}

std::string RearrangedText() { return Say(Text::kRearranged); }

std::string CheckText(const EntryCheck& check) {
  std::string text;
  for (const EntryProblem problem : check.problems.Listed()) {
    if (!text.empty()) text += Say(Text::kListSeparator);
    text += ProblemText(problem, check.facts);
  }
  return text;
}

Result<> CheckClip(const std::string& path) {
  const ArchiveLoad file = LoadFileAsEntry(path.c_str());
  if (!file) return Failure{PathForDisplay(path) + ": " + LoadErrorText(file.failure())};
  const EntryCheck check = CheckClipFile(file->get());
  if (check.ok()) return {};
  const std::string why = IsWavFile(path) ? Say(Text::kWavNotClip) : CheckText(check);
  return Failure{PathForDisplay(path) + ": " + why + Say(Text::kForceTakesIt)};
}

std::vector<InputMark> MarkInputs(std::span<const std::string> paths) {
  std::vector<InputMark> marks;
  marks.reserve(paths.size());
  for (const std::string& path : paths) marks.push_back(MarkInput(path));
  return marks;
}

Result<std::vector<size_t>> MatchEntries(const std::string& argument, size_t count,
                                         const std::function<std::string_view(size_t)>& name_of,
                                         bool all) {
  const EntryArgument entry(argument);
  std::vector<size_t> matched;
  for (size_t i = 0; i < count; ++i) {
    if (entry.Names(static_cast<int32_t>(i), name_of(i))) matched.push_back(i);
  }
  if (matched.empty()) return Failure{Say(Text::kNamesNoEntry, entry.text())};
  if (matched.size() == 1 || all) return matched;
  constexpr size_t kNamed = 3;
  std::string names;
  for (size_t k = 0; k < std::min(matched.size(), kNamed); ++k) {
    names += (k ? Say(Text::kListSeparator) : "") + Cp932ToUtf8(name_of(matched[k]));
  }
  if (matched.size() > kNamed) names += Say(Text::kListSeparator) + std::string("...");
  return Failure{Say(Text::kNamesSeveral, entry.text(), static_cast<int>(matched.size()), names)};
}

StopButton::StopButton() { InstallInterruptHandler(&running_); }

// The handler must not outlive `running_`.
StopButton::~StopButton() { InstallInterruptHandler(nullptr); }

void Report(const std::string& text) {
  if (!Quiet()) Complain(text);
}

void ComplainEach(const std::vector<std::string>& lines, bool verbose) {
  const size_t shown = verbose || lines.size() <= kFewLines ? lines.size() : kFewLines - 1;
  for (size_t i = 0; i < shown; ++i) Complain(lines[i]);
  if (shown < lines.size()) Complain(Say(Text::kAndMore, static_cast<int>(lines.size() - shown)));
}

void ReportEach(const std::vector<std::string>& lines, bool verbose) {
  if (!Quiet()) ComplainEach(lines, verbose);
}

std::vector<std::string> TakeRepeated(std::vector<char*>* args, std::string_view name) {
  const std::string option = "--" + std::string(name);
  std::vector<std::string> values;
  std::vector<char*> rest;
  for (size_t i = 0; i < args->size(); ++i) {
    const std::string_view arg = (*args)[i];
    if (arg == "--") {
      rest.insert(rest.end(), args->begin() + static_cast<ptrdiff_t>(i), args->end());
      break;
    }
    if (arg.starts_with(option + "=")) {
      values.emplace_back(arg.substr(option.size() + 1));
    } else if (arg == option && i + 1 < args->size()) {
      values.emplace_back((*args)[++i]);
    } else {
      rest.push_back((*args)[i]);  // a last --NAME without a value is the parser's to refuse
    }
  }
  *args = std::move(rest);
  return values;
}

Result<std::optional<float>> QualityOption(const ParsedArgs& parsed) {
  const std::optional<std::string> text = parsed.Value("quality");
  if (!text) return std::optional<float>();
  float quality = 0;
  const char* end = text->data() + text->size();
  const auto [stop, ec] = std::from_chars(text->data(), end, quality);
  if (text->empty() || ec != std::errc() || stop != end || quality < kVorbisQualityMin ||
      quality > kVorbisQualityMax) {
    return Failure{
        Say(Text::kArgQualityTakes, double{kVorbisQualityMin}, double{kVorbisQualityMax}, *text)};
  }
  return std::optional<float>(quality);
}

Result<std::optional<std::string>> CommitKeepingBackup(OutputFile& out, const std::string& path,
                                                       bool keep) {
  const std::optional<std::string> replaced = keep ? ReplacedFile(path) : std::nullopt;
  std::optional<std::string> backup;
  if (replaced) {
    Result<std::string> kept = KeepBackup(*replaced);
    if (!kept) return kept.failure();
    backup = std::move(*kept);
  }
  if (Result<> committed = out.Commit(); !committed) {
    if (backup) kowaki::platform::RemoveFileNow(backup->c_str());
    return committed.failure();
  }
  if (backup) Report(Say(Text::kBackupKept, PathForDisplay(*replaced), PathForDisplay(*backup)));
  return backup;
}

void ReportBackupToBe(const std::string& path, bool keep) {
  const std::optional<std::string> replaced = keep ? ReplacedFile(path) : std::nullopt;
  if (replaced) {
    Report(
        Say(Text::kBackupToBe, PathForDisplay(*replaced), PathForDisplay(BackupName(*replaced))));
  }
}

int ReportStopped(const std::string& path) {
  Complain(Say(Text::kStoppedNothingWritten, PathForDisplay(path)));
  return kExitInterrupted;
}

int FinishArchive(ArchiveWriter& writer, OutputFile& out, const std::string& path, bool keep_backup,
                  const StopButton& stop, const std::function<void()>& before_commit) {
  writer.stop_when_cleared(stop.running());
  const Result<> written = writer.WriteInto(out);
  if (stop.pressed()) {
    out.Discard();
    return ReportStopped(path);
  }
  if (!written) {
    Complain(written.failure().text);
    return kExitError;
  }
  if (before_commit) before_commit();
  if (auto committed = CommitKeepingBackup(out, path, keep_backup); !committed) {
    Complain(committed.failure().text);
    return kExitError;
  }
  return kExitOk;
}

}  // namespace kowaki::cli
