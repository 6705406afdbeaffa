#pragma once
// kowaki-cli's JSON, built with nlohmann/json and printed on one line the
// way kowaki-cli has always printed it: ", " between members and items,
// ": " after a key, members in the order they were set. A command's
// object ends in its list (of entries, rows, failures), printed an item
// at a time, so that a million entries are never held as one tree.

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace kowaki::cli {

// Keeps its members in the order they were set.
using Json = nlohmann::ordered_json;

// `value` on one line, every floating-point number with `decimals` places.
std::string JsonLine(const Json& value, int decimals = 6);

// The first members of an entry's record: its number, its name as shown
// and its bytes (code page 932) in hex.
Json EntryRecord(int32_t entry, std::string_view name);

// A level in LUFS or dB; null for silence, whose level is -infinity.
inline Json LoudnessJson(double level) { return std::isfinite(level) ? Json(level) : Json(); }

// One object on standard output: the members of `head`, then the items
// added one by one as a list under `key` (not one of head's), then the end.
class JsonListPrinter {
 public:
  JsonListPrinter(const Json& head, std::string_view key, int decimals = 6);
  void Add(const Json& item);
  void Finish();

 private:
  void Flush();

  std::string out_;
  int decimals_;
  bool first_ = true;
};

}  // namespace kowaki::cli
