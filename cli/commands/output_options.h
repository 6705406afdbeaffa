#pragma once
// The output-settings options that `settings` stores and `export` applies
// to one run: --type ogg|wav|flac, --rate N|source, --channels 1|2|source.

#include <string>

#include "cli/arguments/args.h"
#include "common/result.h"
#include "settings/output_settings.h"

namespace kowaki::cli {

// Lays the options given over `settings`; fails on a bad one.
Result<> ApplyOutputOptions(const ParsedArgs& parsed, OutputSettings* settings);

// "ogg", "wav" or "flac": a stored type as --type names it.
const char* OutputTypeName(int32_t type);

// What the exported files are: "ogg", or "wav, 22050 Hz, stereo" (or "flac, ...").
std::string OutputFormatText(const OutputSettings& settings);

}  // namespace kowaki::cli
