#pragma once
// The options every command takes, wherever they stand before `--`:
// -h/--help, -q/--quiet and --lang en|ja. They are taken off the command's
// arguments here, before the command reads the rest.

#include <vector>

#include "common/result.h"

namespace kowaki::cli {

struct GlobalOptions {
  bool help = false;
};

// Takes the global options off `args` and applies --quiet and the language
// (the environment's, or --lang's); fails on a bad one.
Result<GlobalOptions> TakeGlobalOptions(std::vector<char*>* args);

// -q: no progress line and no summary, only what went wrong.
bool Quiet();

// What the exit codes mean, for every usage text.
extern const char kExitCodesHelp[];

}  // namespace kowaki::cli
