#pragma once
// Which rows the ENTRY arguments of `export` and `play` name: a name as
// `list` shows it, a shell-style pattern (* ? [a-z] [!x]) or #N for entry
// number N; and the archive, when the first argument names one instead.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "jobs/row_list.h"

namespace kowaki::cli {

// One ENTRY argument: a name as `list` shows it, a pattern, or #N.
class EntryArgument {
 public:
  explicit EntryArgument(const std::string& argument);
  // A filter as typed in kowaki-cli browse: the same forms, but plain text
  // (no * ? [ and no #N) names the entries whose names hold it.
  static EntryArgument Filter(const std::string& typed);
  // Whether it names entry number `entry`, whose stored name is `name`.
  bool Names(int32_t entry, std::string_view name) const;
  // The same for a name as `list` shows it (Cp932ToUtf8), for those who
  // keep the names' texts.
  bool NamesShown(int32_t entry, std::string_view shown) const;
  // The argument as the terminal shows it.
  const std::string& text() const { return text_; }

 private:
  long long number_ = -1;  // #N: N; else the pattern is matched
  std::string text_;
  // A filter of plain text: what a name must hold. Found by bytes, as UTF-8
  // lets a character be found.
  std::string part_;
};

// Marks the rows `entries` name, every row when there are none. Fails on
// the first entry that names no row; the rows the others name are marked
// all the same (a listing that was stopped may not have reached it).
Result<> SelectRows(RowList& list, const std::vector<std::string>& entries);

// Takes the archive off the front of the positional arguments when the
// first looks like a path to one; otherwise they are all entries of the
// game's archive, and the result is empty.
std::string TakeArchive(std::vector<std::string>* args);

}  // namespace kowaki::cli
