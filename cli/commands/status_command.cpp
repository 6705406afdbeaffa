// kowaki-cli status DIR [--json] [-v] [--add NAME=FILE]... [--remove ENTRY]...
//   [--all]: a work folder compared with its manifest, entry by entry, as
// pack --from would take it with the same edits, and whether it would
// pack the folder (exit 0) or stop (exit 1).

#include <string>
#include <vector>

#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/folder_report.h"
#include "cli/commands/modding.h"
#include "cli/commands/pack_from.h"
#include "cli/output/json_output.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "modding/folder.h"
#include "modding/work_folder.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

const ManifestEntry* StoredEntry(const Manifest& manifest, size_t i) {
  return i < manifest.entries.size() ? &manifest.entries[i] : nullptr;
}

Json Head(const std::string& folder, const Manifest* manifest, bool would_pack) {
  Json head;
  head["folder"] = PathForDisplay(folder);
  head["manifest"] = PathForDisplay(PathInFolder(folder, kManifestFileName));
  head["version"] = manifest ? Json(manifest->version) : Json(nullptr);
  head["count"] = manifest ? manifest->entries.size() : 0;
  head["would_pack"] = would_pack;
  return head;
}

void PrintJson(const std::string& folder, const Manifest& manifest, const WorkFolder& work) {
  Json head = Head(folder, &manifest, !work.Stops(false));
  constexpr std::pair<const char*, EntryState> kCounts[] = {
      {"unchanged", EntryState::kUnchanged},  {"changed", EntryState::kChanged},
      {"recordings", EntryState::kRecording}, {"no_data", EntryState::kNoData},
      {"removed", EntryState::kRemoved},      {"added", EntryState::kAdded},
      {"missing", EntryState::kMissing},      {"unusable", EntryState::kUnusable}};
  for (const auto& [key, state] : kCounts) head[key] = work.Count(state);
  Json& extras = head["extra"] = Json::array();
  for (const ExtraFile& extra : work.extras) extras.push_back(ExtraJson(extra));
  JsonListPrinter printer(head, "entries");
  for (size_t i = 0; i < work.entries.size(); ++i) {
    printer.Add(EntryJson(i, work.entries[i], StoredEntry(manifest, i)));
  }
  printer.Finish();
}

// The entries that are not as unpacked (all of them with -v), then the
// files the manifest does not name.
void PrintRows(const std::string& folder, const Manifest& manifest, const WorkFolder& work,
               bool verbose) {
  std::string out;
  for (size_t i = 0; i < work.entries.size(); ++i) {
    const EntryFile& file = work.entries[i];
    if (verbose || file.state != EntryState::kUnchanged) {
      out += EntryLine(i, file, StoredEntry(manifest, i)) + "\n";
    }
  }
  for (const ExtraFile& extra : work.extras) out += ExtraLine(folder, extra) + "\n";
  PrintText(stdout, out);
}

void ReportCounts(const WorkFolder& work) {
  const int32_t stuck = work.Count(EntryState::kMissing) + work.Count(EntryState::kUnusable);
  Report(Say(Text::kStatusCounts, static_cast<int>(work.entries.size()),
             work.Count(EntryState::kUnchanged),
             work.Count(EntryState::kChanged) + work.Count(EntryState::kAdded),
             work.Count(EntryState::kRecording), work.Count(EntryState::kNoData), stuck,
             static_cast<int>(work.extras.size())));
  Report(Say(work.Stops(false) ? Text::kStatusWouldStop : Text::kStatusWouldPack));
}

}  // namespace

int RunStatus(Arguments args) {
  std::vector<char*> rest(args.begin(), args.end());
  FolderEdits edits{TakeRepeated(&rest, "add"), TakeRepeated(&rest, "remove")};
  ParsedArgs parsed;
  const Result<> read = parsed.Parse(rest, {}, {"json", "verbose", "all"}, {{'v', "verbose"}});
  if (!read) return BadArguments("status", read.failure().text);
  if (parsed.positional().size() != 1) {
    return BadArguments("status", Say(Text::kArgGiveOneFolder));
  }
  const std::string& folder = parsed.positional()[0];
  edits.all = parsed.Has("all");
  // A manifest that cannot be used is one pack --from would stop at.
  const Result<Manifest> manifest = ReadManifest(folder);
  if (!manifest) {
    if (parsed.Has("json")) {
      Json head = Head(folder, nullptr, false);
      head["error"] = manifest.failure().text;
      head["entries"] = Json::array();
      PrintJson(JsonLine(head) + "\n");
    }
    Complain(manifest.failure().text);
    Report(Say(Text::kStatusWouldStop));
    return kExitIncomplete;
  }
  Result<FolderRequest> request = RequestFor(folder, *manifest, edits);
  if (!request) return BadArguments("status", request.failure().text);
  const StopButton stop;
  request->running = stop.running();
  const WorkFolder work = CheckWorkFolder(*request);
  if (work.stopped) return Complain(Say(Text::kInterrupted)), kExitInterrupted;
  if (parsed.Has("json")) {
    PrintJson(folder, *manifest, work);
  } else {
    PrintRows(folder, *manifest, work, parsed.Has("verbose"));
  }
  ReportCounts(work);
  return work.Stops(false) ? kExitIncomplete : kExitOk;
}

}  // namespace kowaki::cli
