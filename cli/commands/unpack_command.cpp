// kowaki-cli unpack ARCHIVE DIR [--force] [-v]: every entry's stored bytes
// in a file of its own, named as export names them (.ogg for Ogg data,
// .bin for any other), and a manifest from which pack --from builds the
// archive again. Nothing is written over what is in DIR unless --force,
// and then only the files unpack itself writes.

#include <string>
#include <vector>

#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/modding.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "cli/terminal/terminal_window.h"
#include "common/temp_files.h"
#include "modding/unpack.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

std::string ObstacleText(const Obstacle& obstacle) {
  const std::string path = PathForDisplay(obstacle.path);
  switch (obstacle.kind) {
    case Obstacle::Kind::kFile:
      return Say(Text::kInTheWay, path);
    case Obstacle::Kind::kTheArchive:
      return Say(Text::kIsTheArchive, path);
    case Obstacle::Kind::kNotAFile:
      return Say(Text::kInTheWayNotFile, path);
    default:
      return path + ": " + obstacle.why;
  }
}

// Whether nothing stands where the plan writes; otherwise says what does.
bool WayIsClear(const std::vector<Obstacle>& obstacles, bool verbose) {
  if (obstacles.empty()) return true;
  std::vector<std::string> lines;
  bool only_files = true;
  for (const Obstacle& obstacle : obstacles) {
    lines.push_back(ObstacleText(obstacle));
    only_files = only_files && obstacle.kind == Obstacle::Kind::kFile;
  }
  ComplainEach(lines, verbose);
  Complain(Say(only_files ? Text::kNothingUnpackedForce : Text::kNothingUnpacked));
  return false;
}

// The name the file system shows for a file name of code page 932 bytes.
std::string ShownFileName(std::string_view name) {
  return std::string(FileNameOf(platform::PathInFolder("", name)));
}

// Unpacks every entry, Ctrl-C stopping after the entry being written; the
// manifest describes what was unpacked.
int UnpackAll(UnpackPlan& plan, const ArchiveIndex& index, const std::string& folder,
              bool verbose) {
  const StopButton stop;
  std::vector<std::string> left_out;
  int32_t unpacked = 0;
  int32_t i = 0;
  for (; i < index.count && !stop.pressed(); ++i) {
    const ManifestEntry& entry = plan.manifest.entries[static_cast<size_t>(i)];
    const std::string label = EntryLabel(static_cast<size_t>(i), EntryName(index.entries[i]));
    // The reason in the manifest's own words, as it records them.
    if (!entry.unpacked()) {
      left_out.push_back(Say(Text::kNotUnpacked, label, entry.reason));
      continue;
    }
    if (Result<> done = UnpackEntry(plan, index, i); !done) {
      // A manifest naming files that are not there would only mislead.
      Complain(Say(Text::kNoManifestWritten, label, done.failure().text));
      return kExitIncomplete;
    }
    ++unpacked;
  }
  ComplainEach(left_out, verbose);
  if (stop.pressed()) MarkStopped(plan, i);
  if (Result<> written = WriteManifest(plan); !written) {
    Complain(written.failure().text);
    return kExitIncomplete;
  }
  const std::string shown = PathForDisplay(folder);
  if (stop.pressed()) {
    Complain(Say(Text::kUnpackStopped, unpacked, index.count, shown, kManifestFileName));
    return kExitInterrupted;
  }
  Report(Say(Text::kUnpacked, unpacked, index.count, shown, kManifestFileName));
  return left_out.empty() ? kExitOk : kExitIncomplete;
}

}  // namespace

int RunUnpack(Arguments args) {
  ParsedArgs parsed;
  const Result<> read = parsed.Parse(args, {}, {"force", "verbose"}, {{'v', "verbose"}});
  if (!read) return BadArguments("unpack", read.failure().text);
  if (parsed.positional().size() != 2) {
    return BadArguments("unpack", Say(Text::kArgGiveArchiveAndFolder));
  }
  const std::string& folder = parsed.positional()[1];
  const bool verbose = parsed.Has("verbose");
  const ArchiveIndexPtr index = LoadArchiveArgument(parsed.positional()[0]);
  if (!index) return kExitError;
  const InputMark archive_mark = MarkInput(index->fd, index->path);
  if (folder.empty() || !platform::MakeFolders(folder)) {
    Complain(Say(Text::kCannotMakeFolder, PathForDisplay(folder)));
    return kExitError;
  }
  UnpackPlan plan = PlanUnpack(*index, folder, ShownFileName);
  if (!WayIsClear(FindObstacles(plan, folder, *index, parsed.Has("force")), verbose)) {
    return kExitError;
  }
  // An earlier unpack's manifest goes first: beside this archive's files it
  // would describe neither, should this one fail before writing its own.
  kowaki::platform::RemoveFileNow(plan.manifest_path.c_str());
  return UnpackAll(plan, *index, folder, verbose);
}

}  // namespace kowaki::cli
