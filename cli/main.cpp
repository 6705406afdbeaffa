// kowaki-cli: the voice-archive tool with a terminal as its window.

#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/text_output.h"
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
     "      build an archive; entry names from the file stems"},
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
  std::vector<std::string> arguments = kowaki::cli::Utf8Arguments(argc, argv);
  if (arguments.empty()) return Usage(stderr);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  std::string_view name = arguments[0];
  if (name == "help" || name == "--help" || name == "-h") return Usage(stdout);
  if (name == "--version" || name == "-V") {
    std::puts("kowaki-cli " KOWAKI_VERSION);
    return kowaki::cli::kExitOk;
  }
  for (const Command& command : kCommands) {
    if (command.name == name) {
      return command.run(std::span<char* const>(pointers).subspan(1));
    }
  }
  std::fprintf(stderr, "kowaki-cli: unknown command '%s'\n\n", arguments[0].c_str());
  return Usage(stderr);
}
