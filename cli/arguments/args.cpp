#include "cli/arguments/args.h"

#include <algorithm>
#include <charconv>

#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

bool Contains(std::initializer_list<std::string_view> list, std::string_view name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

// `-x` or `-xVALUE` for a known letter: the option's long name and the
// value written with it, if any.
bool ShortOption(std::string_view arg, std::initializer_list<ShortName> short_names,
                 std::string_view* name, std::optional<std::string_view>* inline_value) {
  if (arg.size() < 2 || arg[0] != '-' || arg[1] == '-') return false;
  for (const ShortName& short_name : short_names) {
    if (short_name.letter != arg[1]) continue;
    *name = short_name.name;
    if (arg.size() > 2) *inline_value = arg.substr(2);
    return true;
  }
  return false;
}

}  // namespace

Result<> ParsedArgs::Parse(std::span<char* const> argv,
                           std::initializer_list<std::string_view> valued,
                           std::initializer_list<std::string_view> switches,
                           std::initializer_list<ShortName> short_names) {
  bool options_done = false;
  for (size_t i = 0; i < argv.size(); ++i) {
    std::string_view arg = argv[i];
    std::string_view name;
    std::optional<std::string_view> inline_value;
    if (options_done || !ShortOption(arg, short_names, &name, &inline_value)) {
      if (options_done || arg.size() < 2 || arg[0] != '-') {
        positional_.emplace_back(arg);
        continue;
      }
      if (arg[1] != '-') return Failure{Say(Text::kArgUnknownOption, std::string(arg))};
      if (arg == "--") {
        options_done = true;
        continue;
      }
      name = arg.substr(2);
      if (auto eq = name.find('='); eq != std::string_view::npos) {
        inline_value = name.substr(eq + 1);
        name = name.substr(0, eq);
      }
    }
    if (Contains(valued, name)) {
      if (!inline_value && i + 1 == argv.size()) {
        return Failure{Say(Text::kArgNeedsValue, std::string(name))};
      }
      values_[std::string(name)] = std::string(inline_value ? *inline_value : argv[++i]);
    } else if (Contains(switches, name) && !inline_value) {
      switches_.emplace(name);
    } else {
      return Failure{Say(Text::kArgUnknownOption, std::string(arg))};
    }
  }
  return {};
}

bool ParsedArgs::Has(std::string_view name) const {
  return switches_.find(name) != switches_.end() || values_.find(name) != values_.end();
}

std::optional<std::string> ParsedArgs::Value(std::string_view name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

Result<long long> ParsedArgs::Integer(std::string_view name, long long min, long long max,
                                      long long fallback) const {
  auto text = Value(name);
  if (!text) return fallback;
  long long parsed = 0;
  const char* end = text->data() + text->size();
  auto [ptr, ec] = std::from_chars(text->data(), end, parsed);
  if (text->empty() || ec != std::errc() || ptr != end || parsed < min || parsed > max) {
    return Failure{Say(Text::kArgWholeNumber, std::string(name), min, max, *text)};
  }
  return parsed;
}

}  // namespace kowaki::cli
