#pragma once
// export --name TEMPLATE: the names of the files an export writes, built
// from the entry's name `{name}`, its number `{entry}` and its place in the
// run `{n}` (counted from 1). A number takes a width: `{entry:5}` pads with
// spaces, `{entry:05}` with zeros. The result is made safe and kept apart
// from the run's other names as an entry's name is.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kowaki::cli {

class NameTemplate {
 public:
  // False with a message for an unknown field or text that code page 932
  // cannot hold.
  bool Parse(std::string_view text, std::string* error);
  // The name, in code page 932 bytes, for entry `entry` named `name` at
  // place `n`.
  std::string Apply(std::string_view name, int32_t entry, int32_t n) const;

 private:
  struct Part {
    enum Kind { kText, kName, kEntry, kPlace } kind = kText;
    std::string text;  // kText: code page 932 bytes
    int width = 0;
    bool zeros = false;
  };
  std::vector<Part> parts_;
};

}  // namespace kowaki::cli
