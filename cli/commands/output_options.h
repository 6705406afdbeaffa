#pragma once
// The output-settings options that `settings` stores and `export` applies
// to one run: --type ogg|wav, --rate N|source, --channels 1|2|source.

#include <string>

#include "cli/arguments/args.h"
#include "settings/output_settings.h"

namespace kowaki::cli {

// Lays the options given over `settings`; false with a message for a bad one.
bool ApplyOutputOptions(const ParsedArgs& parsed, OutputSettings* settings, std::string* error);

}  // namespace kowaki::cli
