#include "cli/commands/entry_selection.h"

#include <optional>
#include <string_view>

#include "cli/output/text_output.h"
#include "common/output_file.h"
#include "jobs/output_names.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

// Matches `c` against the class that starts after '[' at `*p`; moves `*p`
// past its ']'. Nothing when the class does not close.
std::optional<bool> MatchClass(std::string_view pattern, size_t* p, char32_t c) {
  size_t i = *p;
  const bool negate = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negate) ++i;
  bool matched = false;
  bool first = true;
  while (i < pattern.size() && (pattern[i] != ']' || first)) {
    first = false;
    const char32_t low = NextCodePoint(pattern, &i);
    char32_t high = low;
    if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
      ++i;
      high = NextCodePoint(pattern, &i);
    }
    matched = matched || (c >= low && c <= high);
  }
  if (i >= pattern.size()) return std::nullopt;
  *p = i + 1;
  return matched != negate;
}

// Shell-style matching of whole characters: * any run, ? one, [...] a class.
bool Glob(std::string_view pattern, std::string_view text) {
  size_t p = 0, t = 0;
  size_t star_p = std::string_view::npos, star_t = 0;
  while (t < text.size()) {
    size_t next_t = t;
    const char32_t c = NextCodePoint(text, &next_t);
    if (p < pattern.size() && pattern[p] == '*') {
      star_p = ++p;
      star_t = t;
      continue;
    }
    if (p < pattern.size()) {
      size_t next_p = p;
      bool matched;
      if (pattern[p] == '?') {
        ++next_p;
        matched = true;
      } else if (pattern[p] == '[') {
        ++next_p;
        auto in_class = MatchClass(pattern, &next_p, c);
        if (!in_class) {
          next_p = p;
          matched = NextCodePoint(pattern, &next_p) == c;
        } else {
          matched = *in_class;
        }
      } else {
        matched = NextCodePoint(pattern, &next_p) == c;
      }
      if (matched) {
        p = next_p;
        t = next_t;
        continue;
      }
    }
    if (star_p == std::string_view::npos) return false;
    p = star_p;
    NextCodePoint(text, &star_t);
    t = star_t;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// Contains a separator, ends in .arc or names a file.
bool LooksLikeArchive(const std::string& arg) {
  return arg.find_first_of("/\\") != std::string::npos || arg.ends_with(".arc") ||
         kowaki::platform::KindOfPath(arg) == kowaki::platform::PathKind::kFile;
}

}  // namespace

EntryArgument::EntryArgument(const std::string& argument) : text_(PathForDisplay(argument)) {
  if (argument.size() > 1 && argument[0] == '#' && argument.size() < 12 &&
      argument.find_first_not_of("0123456789", 1) == std::string::npos) {
    number_ = std::stoll(argument.substr(1));
  }
}

EntryArgument EntryArgument::Filter(const std::string& typed) {
  EntryArgument filter(typed);
  if (filter.number_ < 0 && filter.text_.find_first_of("*?[") == std::string::npos) {
    filter.part_ = filter.text_;
    filter.text_ = "*" + filter.text_ + "*";
  }
  return filter;
}

bool EntryArgument::Names(int32_t entry, std::string_view name) const {
  // Arguments come in the ANSI code page on Windows; names are matched as text.
  return number_ >= 0 ? entry == number_ : NamesShown(entry, Cp932ToUtf8(name));
}

bool EntryArgument::NamesShown(int32_t entry, std::string_view shown) const {
  if (number_ >= 0) return entry == number_;
  return part_.empty() ? Glob(text_, shown) : shown.find(part_) != std::string_view::npos;
}

Result<> SelectRows(RowList& list, const std::vector<std::string>& entries) {
  for (RowList::Row& row : list.rows()) row.selected = entries.empty();
  Result<> selected;
  for (const std::string& entry : entries) {
    const EntryArgument argument(entry);
    bool found = false;
    for (RowList::Row& row : list.rows()) {
      if (argument.Names(row.entry, row.name)) row.selected = found = true;
    }
    if (!found && selected) selected = Failure{Say(Text::kArgNamesNoListedEntry, argument.text())};
  }
  return selected;
}

std::string TakeArchive(std::vector<std::string>* args) {
  if (args->empty() || !LooksLikeArchive(args->front())) return {};
  std::string archive = std::move(args->front());
  args->erase(args->begin());
  return archive;
}

}  // namespace kowaki::cli
