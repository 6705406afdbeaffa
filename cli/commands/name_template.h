#pragma once
// export --name TEMPLATE: the names of the files an export writes, built
// from the entry's name `{name}`, its number `{entry}` and its place in the
// run `{n}` (counted from 1). A number takes a width: `{entry:5}` pads with
// spaces, `{entry:05}` with zeros. The result is made safe and kept apart
// from the run's other names as an entry's name is.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace kowaki::cli {

class NameTemplate {
 public:
  // Fails on an unknown field or text that code page 932 cannot hold.
  Result<> Parse(std::string_view text);
  // The name, in code page 932 bytes, for entry `entry` named `name` at
  // place `n`.
  std::string Apply(std::string_view name, int32_t entry, int32_t n) const;

 private:
  // What a part of the template stands for.
  enum class Kind { kText, kName, kEntry, kPlace };
  struct Part {
    Kind kind = Kind::kText;
    std::string text;  // kText: code page 932 bytes
    int width = 0;
    bool zeros = false;
  };

  // "name", "entry", "entry:05", "n:3" as a part; nothing for anything else.
  static std::optional<Part> ParseField(std::string_view field);

  std::vector<Part> parts_;
};

}  // namespace kowaki::cli
