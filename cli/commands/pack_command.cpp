// kowaki-cli pack -o ARCHIVE [--header-word N] FILE...: builds an archive,
// one entry per file in the order given, named after the file's stem.
// kowaki-cli pack -o ARCHIVE --from DIR [--force]: builds it from what
// unpack left in DIR (cli/pack_from.cpp).

#include <cstdio>
#include <string>
#include <string_view>

#include "archive/archive_index.h"
#include "archive/archive_writer.h"
#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/modding.h"
#include "cli/commands/pack_from.h"
#include "cli/output/reasons.h"
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

}  // namespace

int RunPack(Arguments args) {
  // -o is the one short option kowaki-cli knows: "pack -o FILE" reads best.
  std::vector<char*> rewritten(args.begin(), args.end());
  static char output_option[] = "--output";
  for (char*& arg : rewritten) {
    if (std::string_view(arg) == "-o") arg = output_option;
  }
  ParsedArgs parsed;
  std::string error;
  if (!Succeeded(parsed.Parse(rewritten, {"output", "header-word", "from"}, {"force"}), &error)) {
    return BadArguments("pack", error);
  }
  const auto output = parsed.Value("output");
  const auto& inputs = parsed.positional();
  if (!output || output->empty()) return BadArguments("pack", Say(Text::kArgGiveOutputArchive));
  if (const auto folder = parsed.Value("from")) {
    if (!inputs.empty() || parsed.Has("header-word"))
      return BadArguments("pack", Say(Text::kArgFromTakesAll));
    return PackFromManifest(*folder, *output, parsed.Has("force"));
  }
  // Files given by name are packed whatever they hold: nothing to force.
  if (parsed.Has("force")) return BadArguments("pack", Say(Text::kArgForceWithFrom));
  if (inputs.size() > kArchiveMaxEntries) {
    return Fail(Say(Text::kTooManyFiles, static_cast<int>(inputs.size()),
                    static_cast<int>(kArchiveMaxEntries)));
  }
  const Result<long long> header_word = parsed.Integer("header-word", 0, 0xFFFFFF, 0);
  ArchiveWriter writer;
  if (!Succeeded(header_word, &error) ||
      !Succeeded(writer.set_header_word(static_cast<uint32_t>(*header_word)), &error)) {
    return Fail(error);
  }
  for (const std::string& input : inputs) {
    // The finished archive replaces the file at the output path: an input
    // that is that file, by whatever path, would be lost.
    if (kowaki::platform::SameFile(*output, input)) {
      return Fail(BeingWrittenText(input));
    }
    std::string name;
    if (!EntryNameFromStem(Stem(input), &name)) {
      return Fail(Say(Text::kNameNotCp932, PathForDisplay(input)));
    }
    if (!Succeeded(writer.AddFile(name, input), &error)) {
      return Fail(PathForDisplay(input) + ": " + error);
    }
  }
  if (!Succeeded(writer.Write(*output), &error)) return Fail(error);
  return kExitOk;
}

}  // namespace kowaki::cli
