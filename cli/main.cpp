// kowaki-cli: the voice-archive tool with a terminal as its window.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments/global_options.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/output/text_output.h"
#include "cli/terminal/interrupt.h"
#include "cli/terminal/language.h"
#include "kowaki_version.h"
#include "text/catalogue.h"

namespace {

struct Command {
  std::string_view name;
  int (*run)(kowaki::cli::Arguments);
};

constexpr Command kCommands[] = {
    {"list", kowaki::cli::RunList},     {"play", kowaki::cli::RunPlay},
    {"export", kowaki::cli::RunExport}, {"settings", kowaki::cli::RunSettings},
    {"index", kowaki::cli::RunIndex},   {"pack", kowaki::cli::RunPack},
    {"unpack", kowaki::cli::RunUnpack}, {"replace", kowaki::cli::RunReplace},
    {"verify", kowaki::cli::RunVerify}, {"convert", kowaki::cli::RunConvert},
    {"status", kowaki::cli::RunStatus}, {"browse", kowaki::cli::RunBrowse},
};

int PrintHelp(const std::string& text) {
  kowaki::cli::PrintText(stdout, text);
  return kowaki::cli::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kowaki::cli;
  // From the start, so that no command leaves a temporary file behind.
  InstallInterruptHandler(nullptr);
  std::vector<std::string> arguments = Utf8Arguments(argc, argv);
  std::vector<char*> args;
  for (std::string& argument : arguments) args.push_back(argument.data());
  const kowaki::Result<GlobalOptions> options = TakeGlobalOptions(&args);
  if (!options) return BadArguments("", options.failure().text);
  const std::string_view name = args.empty() ? "" : args[0];
  if (name == "--version" || name == "-V") {
    std::puts("kowaki-cli " KOWAKI_VERSION);
    return kExitOk;
  }
  if (name == "help" && args.size() > 1 && !CommandHelp(args[1]).empty()) {
    return PrintHelp(CommandHelp(args[1]));
  }
  if (name == "help" || (name.empty() && options->help)) return PrintHelp(OverallHelp());
  if (name.empty()) {
    PrintText(stderr, OverallHelp());
    return kExitError;
  }
  for (const Command& command : kCommands) {
    if (command.name != name) continue;
    if (options->help) return PrintHelp(CommandHelp(name));
    return command.run(Arguments(args).subspan(1));
  }
  Complain(kowaki::Say(kowaki::Text::kArgUnknownCommand, PathForDisplay(name)));
  PrintText(stderr, OverallHelp());
  return kExitError;
}
