// kowaki-cli settings [--type ogg|wav] [--rate N|source]
//   [--channels 1|2|source] [--merge on|off]
// Shows the stored output settings; with options, changes and stores them
// first, as the settings dialog's OK does.

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
// what the run uses.
bool SourceOr(const ParsedArgs& parsed, const std::string& name, std::span<const int32_t> choices,
              int32_t* value, std::string* error) {
  const auto text = parsed.Value(name);
  if (!text) return true;
  std::string listed;
  for (size_t i = 0; i < choices.size(); ++i) {
    const std::string choice = std::to_string(choices[i]);
    if (*text == choice) return *value = choices[i], true;
    listed += (i ? ", " : "") + choice;
  }
  if (*text == "source") return *value = -1, true;
  *error = Say(Text::kArgSourceOr, name, listed, *text);
  return false;
}

std::string Shown(int32_t value) { return value > 0 ? std::to_string(value) : "source"; }

}  // namespace

bool ApplyOutputOptions(const ParsedArgs& parsed, OutputSettings* settings, std::string* error) {
  if (auto type = parsed.Value("type")) {
    if (*type != "ogg" && *type != "wav") {
      *error = Say(Text::kArgTypeTakes, *type);
      return false;
    }
    settings->type = *type == "wav" ? 1 : 0;
  }
  constexpr int32_t kChannelCounts[] = {1, 2};
  return SourceOr(parsed, "rate", kOfferedRates, &settings->frq, error) &&
         SourceOr(parsed, "channels", kChannelCounts, &settings->ch, error);
}

int RunSettings(Arguments args) {
  ParsedArgs parsed;
  std::string error;
  if (!parsed.Parse(args, {"type", "rate", "channels", "merge"}, {}, &error)) return Fail(error);
  if (!parsed.positional().empty()) return Fail(Say(Text::kArgOptionsOnly));
  std::unique_ptr<SettingsStore> store = OpenSettingsStore();
  OutputSettings settings = LoadOutputSettings(*store);
  if (!ApplyOutputOptions(parsed, &settings, &error)) return Fail(error);
  if (auto merge = parsed.Value("merge")) {
    if (*merge != "on" && *merge != "off") return Fail(Say(Text::kArgMergeOnOff));
    settings.merge = *merge == "on" ? 1 : 0;
  }
  if (!args.empty()) {
    SaveOutputSettings(*store, settings);
    const OutputSettings stored = LoadOutputSettings(*store);
    if (stored.type != settings.type || stored.frq != settings.frq || stored.ch != settings.ch ||
        stored.merge != settings.merge) {
      Complain(Say(Text::kSettingsNotStored));
      return kExitError;
    }
  }
  PrintText(stdout, std::string("type      ") + (settings.type ? "wav" : "ogg") + "\nrate      " +
                        Shown(settings.frq) + "\nchannels  " + Shown(settings.ch) + "\nmerge     " +
                        (settings.merge ? "on" : "off") + "\n");
  return kExitOk;
}

}  // namespace kowaki::cli
