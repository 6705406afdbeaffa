#pragma once
// The options every command takes, wherever they stand before `--`:
// -h/--help, -q/--quiet and --lang en|ja. They are taken off the command's
// arguments here, before the command reads the rest.

#include <string>
#include <vector>

namespace kowaki::cli {

struct GlobalOptions {
  bool help = false;
};

// Takes the global options off `args` and applies --quiet and the language
// (the environment's, or --lang's); false with a message for a bad one.
bool TakeGlobalOptions(std::vector<char*>* args, GlobalOptions* options, std::string* error);

// -q: no progress line and no summary, only what went wrong.
bool Quiet();

// What the exit codes mean, for every usage text.
extern const char kExitCodesHelp[];

}  // namespace kowaki::cli
