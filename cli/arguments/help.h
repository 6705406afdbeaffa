#pragma once
// What `kowaki-cli --help` and `kowaki-cli COMMAND --help` print, and the
// short pointer to them after a bad argument.

#include <string>
#include <string_view>

namespace kowaki::cli {

// The whole tool: its commands, the global options, the exit codes.
std::string OverallHelp();
// One command's usage and options, then the exit codes; empty for an
// unknown command.
std::string CommandHelp(std::string_view command);

// Says what is wrong with the arguments and where the usage is; returns
// the exit code for bad arguments.
int BadArguments(std::string_view command, std::string_view error);

}  // namespace kowaki::cli
