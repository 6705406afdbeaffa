#pragma once
// The command-line grammar shared by every command: positional arguments,
// `--name value` or `--name=value` options, `--name` switches, one-letter
// forms of some (`-j 4`, `-j4`), `--` ending the options. A lone `-` is a
// positional argument (standard input or output); after `--`, so is
// anything starting with `-`.

#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace kowaki::cli {

// A one-letter form of an option: `-j` for `--jobs`.
struct ShortName {
  char letter;
  std::string_view name;
};

class ParsedArgs {
 public:
  // `valued` lists the options that take a value, `switches` those that
  // do not, `short_names` their one-letter forms. Fails on anything else.
  Result<> Parse(std::span<char* const> argv, std::initializer_list<std::string_view> valued,
                 std::initializer_list<std::string_view> switches,
                 std::initializer_list<ShortName> short_names = {});

  const std::vector<std::string>& positional() const { return positional_; }
  bool Has(std::string_view name) const;
  std::optional<std::string> Value(std::string_view name) const;
  // An integer option in [min, max]; `fallback` when absent. Fails when
  // present but not such a number.
  Result<long long> Integer(std::string_view name, long long min, long long max,
                            long long fallback) const;

 private:
  std::vector<std::string> positional_;
  std::map<std::string, std::string, std::less<>> values_;
  std::set<std::string, std::less<>> switches_;
};

}  // namespace kowaki::cli
