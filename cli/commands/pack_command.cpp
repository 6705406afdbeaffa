// kowaki-cli pack -o ARCHIVE [--header-word N] [--force] FILE...: builds an
// archive, one entry per file in the order given, named after the file's
// stem; each must be a clip the game can play (or --force), and no two of
// one name.
// kowaki-cli pack -o ARCHIVE --from DIR ...: builds it from what unpack
// left in DIR (cli/commands/pack_from.cpp).
// Onto an existing archive either keeps the previous one as ARCHIVE.bak
// (--no-backup: not); --dry-run says what it would do and writes nothing.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_index.h"
#include "archive/archive_writer.h"
#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/modding.h"
#include "cli/commands/pack_from.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "common/output_file.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

// "dir/name.ogg" -> "name"; "dir/.hidden" -> ".hidden".
std::string_view Stem(std::string_view path) {
  const std::string_view base = FileNameOf(path);
  const size_t dot = base.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? base : base.substr(0, dot);
}

int Fail(const std::string& message) {
  Complain(message);
  return kExitError;
}

struct PackOptions {
  std::string output;
  bool force = false;
  bool dry_run = false;
  bool keep_backup = true;
  bool verbose = false;
};

// Each file as an entry; what keeps any of them out, in `refused`.
void AddFiles(const std::vector<std::string>& inputs, const PackOptions& options,
              ArchiveWriter& writer, std::vector<std::string>* refused) {
  std::map<std::string, const std::string*> names;
  for (const std::string& input : inputs) {
    std::string name;
    if (!EntryNameFromStem(Stem(input), &name)) {
      refused->push_back(Say(Text::kNameNotCp932, PathForDisplay(input)));
      continue;
    }
    // The game finds entries by name: a second one of a name is never found.
    if (const auto [first, fresh] = names.emplace(name, &input); !fresh) {
      refused->push_back(Say(Text::kSameNameTwice, PathForDisplay(*first->second),
                             PathForDisplay(input), Cp932ToUtf8(name)));
      continue;
    }
    if (Result<> added = writer.AddFile(name, input); !added) {
      refused->push_back(PathForDisplay(input) + ": " + added.failure().text);
    } else if (Result<> clip = options.force ? Result<>() : CheckClip(input); !clip) {
      refused->push_back(clip.failure().text);
    }
  }
}

int PackFiles(const ParsedArgs& parsed, const PackOptions& options) {
  const std::vector<std::string>& inputs = parsed.positional();
  if (inputs.size() > kArchiveMaxEntries) {
    return Fail(Say(Text::kTooManyFiles, static_cast<int>(inputs.size()),
                    static_cast<int>(kArchiveMaxEntries)));
  }
  ArchiveWriter writer;
  const Result<long long> header_word = parsed.Integer("header-word", 0, 0xFFFFFF, 0);
  if (!header_word) return Fail(header_word.failure().text);
  if (Result<> word = writer.set_header_word(static_cast<uint32_t>(*header_word)); !word) {
    return Fail(word.failure().text);
  }
  // The finished archive replaces the file at the output path: an input
  // that is that file, by whatever name, would be lost.
  const std::vector<InputMark> marks = MarkInputs(inputs);
  if (Result<> apart = CanReplace(options.output); options.dry_run && !apart) {
    return Fail(PathForDisplay(options.output) + ": " + apart.failure().text);
  }
  const StopButton stop;
  // Opened first: an output that cannot be replaced is found before any work.
  OutputFile out;
  if (Result<> opened =
          options.dry_run ? Result<>() : out.Open(options.output, OutputPlace::kNamed);
      !opened) {
    return Fail(opened.failure().text);
  }
  std::vector<std::string> refused;
  AddFiles(inputs, options, writer, &refused);
  if (!refused.empty()) {
    ComplainEach(refused, options.verbose);
    return Fail(Say(Text::kNothingPacked));
  }
  const int count = static_cast<int>(writer.size());
  if (options.dry_run) {
    Report(Say(Text::kWouldPackFiles, count, PathForDisplay(options.output)));
    ReportBackupToBe(options.output, options.keep_backup);
    return kExitOk;
  }
  const int written = FinishArchive(writer, out, options.output, options.keep_backup, stop);
  if (written == kExitOk) Report(Say(Text::kPackedFiles, count, PathForDisplay(options.output)));
  return written;
}

}  // namespace

int RunPack(Arguments args) {
  // -o is a short option only pack knows: "pack -o FILE" reads best.
  std::vector<char*> rewritten(args.begin(), args.end());
  static char output_option[] = "--output";
  for (char*& arg : rewritten) {
    if (std::string_view(arg) == "-o") arg = output_option;
  }
  FolderEdits edits{TakeRepeated(&rewritten, "add"), TakeRepeated(&rewritten, "remove")};
  ParsedArgs parsed;
  if (const Result<> read =
          parsed.Parse(rewritten, {"output", "header-word", "from", "quality"},
                       {"force", "dry-run", "no-backup", "all", "verbose"}, {{'v', "verbose"}});
      !read) {
    return BadArguments("pack", read.failure().text);
  }
  const auto output = parsed.Value("output");
  if (!output || output->empty()) return BadArguments("pack", Say(Text::kArgGiveOutputArchive));
  const PackOptions options{*output, parsed.Has("force"), parsed.Has("dry-run"),
                            !parsed.Has("no-backup"), parsed.Has("verbose")};
  const auto folder = parsed.Value("from");
  if (!folder) {
    const bool from_only =
        !edits.adds.empty() || !edits.removes.empty() || parsed.Has("all") || parsed.Has("quality");
    if (from_only) return BadArguments("pack", Say(Text::kArgFromOnly));
    return PackFiles(parsed, options);
  }
  if (!parsed.positional().empty() || parsed.Has("header-word")) {
    return BadArguments("pack", Say(Text::kArgFromTakesAll));
  }
  const Result<std::optional<float>> quality = QualityOption(parsed);
  if (!quality) return BadArguments("pack", quality.failure().text);
  edits.all = parsed.Has("all");
  return PackFromFolder({*folder, options.output, std::move(edits), *quality, options.force,
                         options.dry_run, options.keep_backup, options.verbose});
}

}  // namespace kowaki::cli
