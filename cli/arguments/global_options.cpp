#include "cli/arguments/global_options.h"

#include <string_view>

#include "cli/terminal/language.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {
bool g_quiet = false;
}  // namespace

const char kExitCodesHelp[] =
    "exit codes:\n"
    "  0    done\n"
    "  1    done in part: some entries failed or were left out\n"
    "  2    bad arguments or unusable input; nothing done\n"
    "  130  stopped by Ctrl-C (after the end messages and the clean-up)\n";

Result<GlobalOptions> TakeGlobalOptions(std::vector<char*>* args) {
  // The environment's language from the start, and each --lang's from
  // where it stands, so that a bad option is reported in the language
  // asked for so far.
  SetLanguage(LanguageFromEnvironment());
  GlobalOptions options;
  std::vector<char*> rest;
  bool options_done = false;
  for (size_t i = 0; i < args->size(); ++i) {
    const std::string_view arg = (*args)[i];
    if (options_done || arg.substr(0, 1) != "-") {
      rest.push_back((*args)[i]);
      continue;
    }
    options_done = arg == "--";
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "-q" || arg == "--quiet") {
      g_quiet = true;
    } else if (arg == "--lang" || arg.substr(0, 7) == "--lang=") {
      const bool inline_value = arg.size() > 6;
      if (!inline_value && i + 1 == args->size()) {
        return Failure{Say(Text::kArgLangNeedsValue)};
      }
      const std::string_view value = inline_value ? arg.substr(7) : (*args)[++i];
      Language language{};
      if (!ParseLanguage(value, &language)) {
        return Failure{Say(Text::kArgLangTakes, std::string(value))};
      }
      SetLanguage(language);
    } else {
      rest.push_back((*args)[i]);
    }
  }
  *args = std::move(rest);
  return options;
}

bool Quiet() { return g_quiet; }

}  // namespace kowaki::cli
