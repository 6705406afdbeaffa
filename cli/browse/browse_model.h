#pragma once
// What kowaki-cli browse shows, without a terminal: a row for every entry
// of the index at once (its name, size and number), each entry's facts as
// the listing reads them, and the user's view of the rows: the filter, the
// sort, the marks, the current row and the rows on the screen.
//
// Rows are known by their entry numbers. An entry whose facts say it does
// not open leaves the rows, or stays dimmed with `all` (list --all), and
// is never marked.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_index.h"
#include "jobs/listing_job.h"
#include "jobs/row_order.h"

namespace kowaki::cli {

class BrowseModel {
 public:
  // `facts` holds an entry's facts once Learn says they are in.
  BrowseModel(const ArchiveIndex& index, std::span<const EntryFacts> facts, bool all);

  // The facts of the entries below `known` are in (it only grows). True
  // when new ones came in.
  bool Learn(int32_t known);
  int32_t known() const { return known_; }
  int32_t count() const { return index_.count; }
  // An entry's facts; null while they are not in.
  const EntryFacts* Facts(int32_t entry) const;
  // An entry's name as list shows it, and the widest of them in columns.
  std::string_view NameText(int32_t entry) const;
  size_t name_width() const { return name_width_; }

  // The rows shown, top to bottom: those the filter lets through, in the
  // sort's order; a row is an entry number.
  int32_t rows() const { return static_cast<int32_t>(shown_.size()); }
  int32_t RowEntry(int32_t row) const { return shown_[static_cast<size_t>(row)]; }

  // ENTRY's forms (* ? [a-z] #N), plain text as a part of the name; empty
  // lets every row through.
  void SetFilter(const std::string& typed);
  const std::string& filter() const { return filter_; }

  // By column 0 to 4 as the window sorts; the same column again reverses.
  void SortBy(int column);
  const RowSort& sort() const { return sort_; }

  // The current row (-1 when there are none) and the first row of a
  // screen of `page` rows, which always holds the current one.
  int32_t cursor() const { return cursor_; }
  int32_t top() const { return top_; }
  int32_t page() const { return page_; }
  void SetPage(int32_t page);
  void MoveCursor(int32_t by);
  void CursorTo(int32_t row);
  // The screen moves by `by` rows; the current row stays on it.
  void Scroll(int32_t by);

  bool Marked(int32_t entry) const { return marked_[static_cast<size_t>(entry)] != 0; }
  int32_t marked() const { return marked_count_; }
  // Marks or unmarks the current row, then moves down.
  void ToggleMark();
  void MarkShown();
  void UnmarkAll();
  // What a job takes: the marked entries in the sort's order, shown or
  // not; the current row's when none is marked.
  std::vector<int32_t> Chosen() const;

 private:
  void BuildNames();
  bool Hidden(int32_t entry) const;
  bool Markable(int32_t entry) const;
  void SetMark(int32_t entry, bool mark);
  void Order();
  void Show();
  void Reveal();

  const ArchiveIndex& index_;
  std::span<const EntryFacts> facts_;
  bool all_;
  int32_t known_ = 0;
  std::string names_;              // every name's text, one after another
  std::vector<uint32_t> name_at_;  // where entry i's text starts; one more at the end
  size_t name_width_ = 0;
  std::vector<uint8_t> passes_;  // by entry: the filter lets it through
  std::vector<uint8_t> marked_;  // by entry
  std::vector<int32_t> order_;   // every entry, in the sort's order
  std::vector<int32_t> place_;   // by entry: its place in order_
  std::vector<int32_t> shown_;   // the rows: entries in order_ that pass and are not hidden
  std::string filter_;
  RowSort sort_;
  int32_t sorted_known_ = 0;  // known_ when a sort by the facts last ran
  int32_t marked_count_ = 0;
  int32_t cursor_ = -1;
  int32_t top_ = 0;
  int32_t page_ = 1;
};

}  // namespace kowaki::cli
