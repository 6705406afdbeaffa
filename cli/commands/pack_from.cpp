#include "cli/commands/pack_from.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "cli/commands.h"
#include "cli/commands/folder_report.h"
#include "cli/commands/modding.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "common/output_file.h"
#include "modding/folder.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

int Fail(const std::string& message) {
  Complain(message);
  return kExitError;
}

std::string_view StoredName(const NameField& field) {
  return {field.data(), strnlen(field.data(), field.size())};
}

// NAME=FILE: the entry's name as pack names one after a file's stem.
Result<AddedEntry> ParseAdd(const std::string& add) {
  const size_t equals = add.find('=');
  std::string name;
  if (equals == std::string::npos || equals == 0 || equals + 1 == add.size()) {
    return Failure{Say(Text::kArgAddTakes, add)};
  }
  if (!EntryNameFromStem(add.substr(0, equals), &name)) {
    return Failure{Say(Text::kNameNotCp932, add.substr(0, equals))};
  }
  if (name.size() > sizeof(NameField) || name.find('\0') != std::string::npos) {
    return Failure{Say(Text::kNameLength, static_cast<int>(name.size()))};
  }
  AddedEntry added{{}, add.substr(equals + 1)};
  std::copy(name.begin(), name.end(), added.name.begin());
  return added;
}

// The paths pack --from reads: none of them may be its output.
std::vector<std::string> Inputs(const FolderRequest& request, const WorkFolder& work) {
  std::vector<std::string> inputs{PathInFolder(request.folder, kManifestFileName)};
  for (const EntryFile& file : work.entries) {
    if (!file.path.empty() && file.state != EntryState::kRemoved) inputs.push_back(file.path);
  }
  return inputs;
}

const ManifestEntry* StoredEntry(const FolderRequest& request, size_t i) {
  const std::vector<ManifestEntry>& entries = request.manifest->entries;
  return i < entries.size() ? &entries[i] : nullptr;
}

// Says why pack --from stops: each entry and each extra file.
int ReportStops(const FolderRequest& request, const WorkFolder& work, bool verbose) {
  std::vector<std::string> lines;
  bool forcible = !request.force && !work.extras.empty();
  for (size_t i = 0; i < work.entries.size(); ++i) {
    const EntryFile& file = work.entries[i];
    if (!file.stops) continue;
    lines.push_back(EntryLine(i, file, StoredEntry(request, i)));
    forcible = forcible || file.forcible;
  }
  if (!request.force) {
    for (const ExtraFile& extra : work.extras) lines.push_back(ExtraLine(request.folder, extra));
  }
  ComplainEach(lines, verbose);
  Complain(Say(forcible ? Text::kNothingPackedForce : Text::kNothingPacked));
  return kExitError;
}

// The lines of the entries in `states`.
std::vector<std::string> LinesOf(const FolderRequest& request, const WorkFolder& work,
                                 std::initializer_list<EntryState> states) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < work.entries.size(); ++i) {
    const EntryFile& file = work.entries[i];
    if (std::find(states.begin(), states.end(), file.state) == states.end()) continue;
    lines.push_back(EntryLine(i, file, StoredEntry(request, i)));
  }
  return lines;
}

// What was packed, or would be: the entries that differ from the
// original's, the counts, the layout.
void ReportPacked(const PackFromRequest& pack, const FolderRequest& request,
                  const WorkFolder& work) {
  const std::vector<std::string> changes = LinesOf(
      request, work,
      {EntryState::kChanged, EntryState::kRecording, EntryState::kAdded, EntryState::kRemoved});
  ReportEach(changes, pack.verbose);
  const int32_t packed =
      static_cast<int32_t>(work.entries.size()) - work.Count(EntryState::kRemoved);
  const int32_t changed = work.Count(EntryState::kChanged) + work.Count(EntryState::kAdded);
  Report(Say(pack.dry_run ? Text::kWouldPackFrom : Text::kPackedFrom, packed,
             PathForDisplay(pack.output), changed, work.Count(EntryState::kRecording),
             work.Count(EntryState::kUnchanged)));
  if (!request.manifest->contiguous) Report(RearrangedText());
}

// Checks the folder, then writes the archive: the exit code.
int Pack(const PackFromRequest& pack, FolderRequest& request, OutputFile& out,
         const StopButton& stop) {
  request.running = stop.running();
  const WorkFolder work = CheckWorkFolder(request);
  if (work.stopped) return ReportStopped(pack.output);
  const std::vector<InputMark> marks = MarkInputs(Inputs(request, work));
  if (!pack.dry_run) {
    if (Result<> apart = out.CheckInputs(); !apart) return Fail(apart.failure().text);
  } else if (Result<> apart = CanReplace(pack.output); !apart) {
    return Fail(PathForDisplay(pack.output) + ": " + apart.failure().text);
  }
  if (work.Stops(request.force)) return ReportStops(request, work, pack.verbose);
  if (!work.extras.empty()) Report(Say(Text::kExtrasLeftOut, static_cast<int>(work.extras.size())));
  const std::vector<std::string> empty = LinesOf(request, work, {EntryState::kNoData});
  ComplainEach(empty, pack.verbose);
  if (pack.dry_run) {
    ReportPacked(pack, request, work);
    ReportBackupToBe(pack.output, pack.keep_backup);
    return kExitOk;
  }
  ArchiveWriter writer;
  const Result<> added = AddWorkFolder(request, work, writer);
  if (stop.pressed()) return ReportStopped(pack.output);
  if (!added) return Fail(added.failure().text);
  const int written = FinishArchive(writer, out, pack.output, pack.keep_backup, stop);
  if (written != kExitOk) return written;
  ReportPacked(pack, request, work);
  return empty.empty() ? kExitOk : kExitIncomplete;
}

}  // namespace

Result<FolderRequest> RequestFor(const std::string& folder, const Manifest& manifest,
                                 const FolderEdits& edits) {
  FolderRequest request;
  request.folder = folder;
  request.manifest = &manifest;
  request.removed.assign(manifest.entries.size(), false);
  const auto name_of = [&](size_t i) { return StoredName(manifest.entries[i].name); };
  for (const std::string& remove : edits.removes) {
    const Result<std::vector<size_t>> matched =
        MatchEntries(remove, manifest.entries.size(), name_of, edits.all);
    if (!matched) return matched.failure();
    for (const size_t i : *matched) request.removed[i] = true;
  }
  for (const std::string& add : edits.adds) {
    Result<AddedEntry> added = ParseAdd(add);
    if (!added) return added.failure();
    const auto same = [&](const NameField& name) { return name == added->name; };
    bool taken = std::any_of(request.added.begin(), request.added.end(),
                             [&](const AddedEntry& other) { return same(other.name); });
    for (size_t i = 0; i < manifest.entries.size(); ++i) {
      taken = taken || (!request.removed[i] && same(manifest.entries[i].name));
    }
    if (taken) return Failure{Say(Text::kAddedNameTaken, add)};
    request.added.push_back(std::move(*added));
  }
  return request;
}

int PackFromFolder(const PackFromRequest& pack) {
  const Result<Manifest> manifest = ReadManifest(pack.folder);
  if (!manifest) return Fail(manifest.failure().text);
  Result<FolderRequest> request = RequestFor(pack.folder, *manifest, pack.edits);
  if (!request) return Fail(request.failure().text);
  request->force = pack.force;
  request->quality = pack.quality;
  const StopButton stop;
  // Opened first: an output that cannot be replaced is found before any work.
  OutputFile out;
  if (!pack.dry_run) {
    if (Result<> opened = out.Open(pack.output, OutputPlace::kNamed); !opened) {
      return Fail(opened.failure().text);
    }
  }
  return Pack(pack, *request, out, stop);
}

}  // namespace kowaki::cli
