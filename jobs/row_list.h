#pragma once
// The main list kept in memory, for faces without a list control of their
// own: rows with a name, a stored entry number, four more column texts and
// a selection mark.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/job_window.h"

namespace kowaki {

class RowList {
 public:
  struct Row {
    std::string name;  // code page 932 bytes
    int32_t entry = -1;
    std::string cells[5];  // cells[0] is unused: the name is the row's text
    RowFacts facts;        // the numbers the cells show
    bool selected = false;
  };

  void Clear() { rows_.clear(); }
  void Reserve(int32_t count) { rows_.reserve(count > 0 ? static_cast<size_t>(count) : 0); }
  // Out-of-range rows and columns are ignored, as a list control does.
  void Insert(int32_t row, std::string_view name, int32_t entry);
  void SetCell(int32_t row, int32_t column, std::string_view text);
  void SetFacts(int32_t row, const RowFacts& facts);
  int32_t SelectedCount() const;
  int32_t NextSelected(int32_t row) const;
  // -1 for a row that does not exist.
  int32_t Entry(int32_t row) const;

  std::vector<Row>& rows() { return rows_; }
  const std::vector<Row>& rows() const { return rows_; }

 private:
  std::vector<Row> rows_;
};

}  // namespace kowaki
