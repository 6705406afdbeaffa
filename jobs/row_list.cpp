#include "jobs/row_list.h"

namespace kowaki {

void RowList::Insert(int32_t row, std::string_view name, int32_t entry) {
  if (row < 0) return;
  const size_t at = std::min(static_cast<size_t>(row), rows_.size());
  Row inserted;
  inserted.name = std::string(name);
  inserted.entry = entry;
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::move(inserted));
}

void RowList::SetCell(int32_t row, int32_t column, std::string_view text) {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size() || column < 1 || column > 4) return;
  rows_[static_cast<size_t>(row)].cells[column] = std::string(text);
}

void RowList::SetFacts(int32_t row, const RowFacts& facts) {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
  rows_[static_cast<size_t>(row)].facts = facts;
}

int32_t RowList::SelectedCount() const {
  int32_t count = 0;
  for (const Row& row : rows_) count += row.selected ? 1 : 0;
  return count;
}

int32_t RowList::NextSelected(int32_t row) const {
  for (size_t i = row < 0 ? 0 : static_cast<size_t>(row) + 1; i < rows_.size(); ++i) {
    if (rows_[i].selected) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t RowList::Entry(int32_t row) const {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return -1;
  return rows_[static_cast<size_t>(row)].entry;
}

}  // namespace kowaki
