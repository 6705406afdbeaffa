// kowaki-cli settings [--type ogg|wav|flac] [--rate N|source]
//   [--channels 1|2|source] [--merge on|off]
// Shows the stored output settings; with options, changes and stores them
// first, as the settings dialog's OK does.

#include <algorithm>
#include <iterator>
#include <span>
#include <string>

#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/output_options.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

int Fail(const std::string& message) { return BadArguments("settings", message); }

// "source" or one of `choices`, the values the settings dialog offers: a
// stored value is read as the dialog shows it, so another would not be
// what the run uses. `absent` when the option is not given.
Result<int32_t> SourceOr(const ParsedArgs& parsed, const std::string& name,
                         std::span<const int32_t> choices, int32_t absent) {
  const auto text = parsed.Value(name);
  if (!text) return absent;
  std::string listed;
  for (size_t i = 0; i < choices.size(); ++i) {
    const std::string choice = std::to_string(choices[i]);
    if (*text == choice) return choices[i];
    listed += (i ? ", " : "") + choice;
  }
  if (*text == "source") return -1;
  return Failure{Say(Text::kArgSourceOr, name, listed, *text)};
}

// The stored settings with the options laid over them.
Result<OutputSettings> Requested(const ParsedArgs& parsed, const SettingsStore& store) {
  OutputSettings settings = LoadOutputSettings(store);
  if (const Result<> applied = ApplyOutputOptions(parsed, &settings); !applied) {
    return applied.failure();
  }
  if (auto merge = parsed.Value("merge")) {
    if (*merge != "on" && *merge != "off") return Failure{Say(Text::kArgMergeOnOff)};
    settings.merge = *merge == "on" ? 1 : 0;
  }
  return settings;
}

std::string Shown(int32_t value) { return value > 0 ? std::to_string(value) : "source"; }

}  // namespace

Result<> ApplyOutputOptions(const ParsedArgs& parsed, OutputSettings* settings) {
  if (auto type = parsed.Value("type")) {
    const int32_t types[] = {kOutputTypeOgg, kOutputTypeWav, kOutputTypeFlac};
    const auto named = std::find_if(std::begin(types), std::end(types),
                                    [&](int32_t t) { return *type == OutputTypeName(t); });
    if (named == std::end(types)) return Failure{Say(Text::kArgTypeTakes, *type)};
    settings->type = *named;
  }
  constexpr int32_t kChannelCounts[] = {1, 2};
  const Result<int32_t> rate = SourceOr(parsed, "rate", kOfferedRates, settings->frq);
  if (!rate) return rate.failure();
  const Result<int32_t> channels = SourceOr(parsed, "channels", kChannelCounts, settings->ch);
  if (!channels) return channels.failure();
  settings->frq = *rate;
  settings->ch = *channels;
  return {};
}

const char* OutputTypeName(int32_t type) {
  return type == kOutputTypeOgg ? "ogg" : type == kOutputTypeFlac ? "flac" : "wav";
}

std::string OutputFormatText(const OutputSettings& settings) {
  if (!settings.type) return "ogg";
  return OutputTypeName(settings.type) +
         (settings.frq > 0 ? Say(Text::kOutputRate, settings.frq) : Say(Text::kOutputSourceRate)) +
         Say(settings.ch == 1   ? Text::kOutputMono
             : settings.ch == 2 ? Text::kOutputStereo
                                : Text::kOutputSourceChannels);
}

int RunSettings(Arguments args) {
  ParsedArgs parsed;
  if (const Result<> parsing = parsed.Parse(args, {"type", "rate", "channels", "merge"}, {});
      !parsing) {
    return Fail(parsing.failure().text);
  }
  if (!parsed.positional().empty()) return Fail(Say(Text::kArgOptionsOnly));
  std::unique_ptr<SettingsStore> store = OpenSettingsStore();
  const Result<OutputSettings> settings = Requested(parsed, *store);
  if (!settings) return Fail(settings.failure().text);
  if (!args.empty()) {
    SaveOutputSettings(*store, *settings);
    const OutputSettings stored = LoadOutputSettings(*store);
    if (stored.type != settings->type || stored.frq != settings->frq || stored.ch != settings->ch ||
        stored.merge != settings->merge) {
      Complain(Say(Text::kSettingsNotStored));
      return kExitError;
    }
  }
  PrintText(stdout, std::string("type      ") + OutputTypeName(settings->type) + "\nrate      " +
                        Shown(settings->frq) + "\nchannels  " + Shown(settings->ch) +
                        "\nmerge     " + (settings->merge ? "on" : "off") + "\n");
  return kExitOk;
}

}  // namespace kowaki::cli
