// kowaki-cli replace ARCHIVE ENTRY FILE [ENTRY FILE...] [--all] [--force]
//   [--quality Q] [--dry-run] [--no-backup] [-v]: the entries ENTRY names
// take FILE's bytes, or FILE encoded as each of them when it is a WAV
// recording; every other entry keeps its bytes, name and place. An ENTRY
// that names several entries takes --all. The new archive is written
// beside the old one and renamed over it, the old one kept as ARCHIVE.bak,
// so a failure or a stop leaves it as it was.

#include <map>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/folder_report.h"
#include "cli/commands/modding.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "common/output_file.h"
#include "modding/manifest.h"
#include "modding/recording.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

int Fail(const std::string& message) {
  Complain(message);
  return kExitError;
}

struct ReplaceOptions {
  std::optional<float> quality;
  bool force = false;
  bool dry_run = false;
};

// For each entry, the file that replaces it (empty: none); fails for an
// ENTRY that names none (or several, without `all`), or an entry two of
// them name with different files.
Result<std::vector<std::string>> MatchPairs(const ArchiveIndex& index,
                                            const std::vector<std::string>& pairs, bool all) {
  std::vector<std::string> files(static_cast<size_t>(index.count));
  const auto name_of = [&](size_t i) { return EntryName(index.entries[i]); };
  for (size_t p = 1; p + 1 < pairs.size(); p += 2) {
    const Result<std::vector<size_t>> matched = MatchEntries(pairs[p], files.size(), name_of, all);
    if (!matched) return matched.failure();
    for (const size_t i : *matched) {
      if (!files[i].empty() && files[i] != pairs[p + 1]) {
        return Failure{Say(Text::kEntryNamedTwice, static_cast<int>(i))};
      }
      files[i] = pairs[p + 1];
    }
  }
  return files;
}

// Entry `i` made from the recording `wav`: encoded, or with --dry-run
// only checked. Says so in `lines`.
Result<> AddRecording(const ArchiveIndex& index, int32_t i, const std::string& wav,
                      const ReplaceOptions& options, ArchiveWriter& writer,
                      std::vector<std::string>* lines) {
  const NameField name = NameFieldOf(index.entries[i]);
  const Result<RecordingTarget> target = TargetForEntry(&index, i, options.quality);
  if (!target) return target.failure();
  lines->push_back(EncodedLine(static_cast<size_t>(i), name, wav, *target));
  if (options.dry_run) {
    if (Result<ClipShape> fits = CheckRecording(wav, *target); !fits) return fits.failure();
    return {};
  }
  Result<std::string> ogg = EncodeRecording(wav, *target);
  if (!ogg) return ogg.failure();
  return writer.AddBytes(name, std::move(*ogg));
}

// The new archive's entries: the old ones, each replaced one from its
// file. Fails with the entry or the file and why; a stop ends it.
Result<> AddEntries(const ArchiveIndex& index, const std::vector<std::string>& files,
                    const ReplaceOptions& options, const StopButton& stop, ArchiveWriter& writer,
                    std::vector<std::string>* lines) {
  std::map<std::string, bool> checked;
  if (Result<> word = writer.set_header_word(index.header_word); !word) return word;
  for (int32_t i = 0; i < index.count && !stop.pressed(); ++i) {
    const NameField name = NameFieldOf(index.entries[i]);
    const std::string& file = files[static_cast<size_t>(i)];
    Result<> added;
    if (file.empty()) {
      added = writer.AddEntry(name, &index, i);
    } else if (IsWavFile(file)) {
      added = AddRecording(index, i, file, options, writer, lines);
    } else {
      lines->push_back(
          Say(Text::kReplacedBy, LabelOf(static_cast<size_t>(i), name), PathForDisplay(file)));
      if (!options.force && !checked[file]) {
        if (Result<> clip = CheckClip(file); !clip) return clip;
        checked[file] = true;
      }
      added = writer.AddFile(name, file);
    }
    if (!added) return Failure{LabelOf(static_cast<size_t>(i), name) + ": " + added.failure().text};
  }
  return {};
}

}  // namespace

int RunReplace(Arguments args) {
  ParsedArgs parsed;
  const std::vector<std::string>& pairs = parsed.positional();
  const Result<> read = parsed.Parse(
      args, {"quality"}, {"force", "all", "dry-run", "no-backup", "verbose"}, {{'v', "verbose"}});
  if (!read) return BadArguments("replace", read.failure().text);
  if (pairs.size() < 3 || pairs.size() % 2 == 0) {
    return BadArguments("replace", Say(Text::kArgGiveArchiveAndPairs));
  }
  const Result<std::optional<float>> quality = QualityOption(parsed);
  if (!quality) return BadArguments("replace", quality.failure().text);
  const ReplaceOptions options{*quality, parsed.Has("force"), parsed.Has("dry-run")};
  const bool keep_backup = !parsed.Has("no-backup");
  const std::string& path = pairs[0];
  const StopButton stop;
  // The archive is replaced whole, never written in place; the files
  // that go into it are never the output.
  const InputMark archive_mark = MarkInput(path, InputUse::kReplaced);
  std::vector<std::string> new_files;
  for (size_t i = 2; i < pairs.size(); i += 2) new_files.push_back(pairs[i]);
  const std::vector<InputMark> file_marks = MarkInputs(new_files);
  // Before the archive is opened: on Windows our own open archive would
  // read as a file another program holds, which cannot be replaced.
  OutputFile out;
  if (Result<> opened = options.dry_run ? Result<>() : out.Open(path, OutputPlace::kNamed);
      !opened) {
    return Fail(opened.failure().text);
  }
  ArchiveIndexPtr index = LoadArchiveArgument(path);
  if (!index) return kExitError;
  const Result<std::vector<std::string>> files = MatchPairs(*index, pairs, parsed.Has("all"));
  if (!files) return Fail(files.failure().text);
  ArchiveWriter writer;
  std::vector<std::string> lines;
  const Result<> added = AddEntries(*index, *files, options, stop, writer, &lines);
  if (stop.pressed()) return ReportStopped(path);
  if (!added) return Fail(added.failure().text);
  const int count = index->count;
  const bool contiguous = EntriesContiguous(*index);
  if (!options.dry_run) {
    // Some systems rename nothing over a file that is still open.
    const int written =
        FinishArchive(writer, out, path, keep_backup, stop, [&index] { index.reset(); });
    if (written != kExitOk) return written;
  }
  ReportEach(lines, parsed.Has("verbose"));
  const int replaced = static_cast<int>(lines.size());
  Report(Say(options.dry_run ? Text::kWouldReplace : Text::kReplaced, replaced, count,
             PathForDisplay(path)));
  if (options.dry_run) ReportBackupToBe(path, keep_backup);
  if (!contiguous) Report(RearrangedText());
  return kExitOk;
}

}  // namespace kowaki::cli
