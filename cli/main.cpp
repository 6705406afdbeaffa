// kowaki-cli: the voice-archive tool with a terminal as its window.

#include <cstdio>
#include <span>
#include <string_view>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "kowaki_version.h"

namespace {

struct Command {
  std::string_view name;
  int (*run)(kowaki::cli::Arguments);
  std::string_view synopsis;
};

constexpr Command kCommands[] = {
    {"list", kowaki::cli::RunList,
     "list [ARCHIVE] [--json]\n"
     "      the playable entries, as the window lists them"},
    {"play", kowaki::cli::RunPlay,
     "play [ARCHIVE] [ENTRY...]\n"
     "      play entries on the default sound device (Ctrl-C stops)"},
    {"export", kowaki::cli::RunExport,
     "export [ARCHIVE] (--to DIR | --merge FILE) [--type ogg|wav] [--rate N|source]\n"
     "       [--channels 1|2|source] [ENTRY...]\n"
     "      write entries as .ogg or .wav"},
    {"settings", kowaki::cli::RunSettings,
     "settings [--type ogg|wav] [--rate N|source] [--channels 1|2|source] [--merge on|off]\n"
     "      show or store the output settings"},
    {"index", kowaki::cli::RunIndex,
     "index ARCHIVE [--json]\n"
     "      the raw index, without decoding"},
    {"pack", kowaki::cli::RunPack,
     "pack -o ARCHIVE [--header-word N] FILE...\n"
     "      build an archive; entry names from the file stems\n"
     "  pack -o ARCHIVE --from DIR [--force]\n"
     "      build an archive again from what unpack left in DIR"},
    {"unpack", kowaki::cli::RunUnpack,
     "unpack ARCHIVE DIR\n"
     "      every entry's bytes into DIR, with a manifest for pack --from"},
    {"replace", kowaki::cli::RunReplace,
     "replace ARCHIVE ENTRY FILE [ENTRY FILE...] [--force]\n"
     "      give entries new data, keeping every other entry as it was"},
    {"verify", kowaki::cli::RunVerify,
     "verify ARCHIVE [--json] [-j N]\n"
     "      decode every entry to its end and report those that fail"},
    {"convert", kowaki::cli::RunConvert,
     "convert IN.wav OUT.wav [--rate N] [--channels 1|2] [--bits 8|16]\n"
     "       [--codec pcm|ima-adpcm|ms-adpcm|mulaw|alaw]\n"
     "      convert a WAV file, PCM or codec, to another format"},
};

int Usage(std::FILE* out) {
  std::fputs("usage: kowaki-cli COMMAND [ARGS...]\n       kowaki-cli --version\n\ncommands:\n",
             out);
  for (const Command& command : kCommands) {
    std::fprintf(out, "  %.*s\n", static_cast<int>(command.synopsis.size()),
                 command.synopsis.data());
  }
  return out == stdout ? kowaki::cli::kExitOk : kowaki::cli::kExitError;
}

}  // namespace

int main(int argc, char** argv) {
  // From the start, so that no command leaves a temporary file behind.
  kowaki::cli::InstallInterruptHandler(nullptr);
  if (argc < 2) return Usage(stderr);
  std::string_view name = argv[1];
  if (name == "help" || name == "--help" || name == "-h") return Usage(stdout);
  if (name == "--version" || name == "-V") {
    std::puts("kowaki-cli " KOWAKI_VERSION);
    return kowaki::cli::kExitOk;
  }
  for (const Command& command : kCommands) {
    if (command.name == name) {
      return command.run(std::span<char* const>(argv + 2, static_cast<size_t>(argc - 2)));
    }
  }
  std::fprintf(stderr, "kowaki-cli: unknown command '%s'\n\n", argv[1]);
  return Usage(stderr);
}
