#include "cli/browse/browse_model.h"

#include <algorithm>

#include "cli/commands/entry_selection.h"
#include "cli/output/text_output.h"

namespace kowaki::cli {

namespace {

// Names of printable ASCII read the same in every form; the rest are
// decoded.
bool PlainAscii(std::string_view name) {
  return std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

}  // namespace

BrowseModel::BrowseModel(const ArchiveIndex& index, std::span<const EntryFacts> facts, bool all)
    : index_(index), facts_(facts), all_(all) {
  const auto count = static_cast<size_t>(index.count);
  BuildNames();
  passes_.assign(count, 1);
  marked_.assign(count, 0);
  order_.resize(count);
  place_.resize(count);
  for (int32_t i = 0; i < index.count; ++i)
    order_[static_cast<size_t>(i)] = place_[static_cast<size_t>(i)] = i;
  Show();
}

void BrowseModel::BuildNames() {
  name_at_.reserve(static_cast<size_t>(index_.count) + 1);
  names_.reserve(static_cast<size_t>(index_.count) * 8);
  for (int32_t i = 0; i < index_.count; ++i) {
    name_at_.push_back(static_cast<uint32_t>(names_.size()));
    const std::string_view name = EntryName(index_.entries[i]);
    if (PlainAscii(name)) {
      names_ += name;
      name_width_ = std::max(name_width_, name.size());
      continue;
    }
    const std::string text = Cp932ToUtf8(name);
    names_ += text;
    name_width_ = std::max(name_width_, DisplayWidth(text));
  }
  name_at_.push_back(static_cast<uint32_t>(names_.size()));
}

std::string_view BrowseModel::NameText(int32_t entry) const {
  const auto at = static_cast<size_t>(entry);
  return std::string_view(names_).substr(name_at_[at], name_at_[at + 1] - name_at_[at]);
}

const EntryFacts* BrowseModel::Facts(int32_t entry) const {
  return entry < known_ ? &facts_[static_cast<size_t>(entry)] : nullptr;
}

bool BrowseModel::Hidden(int32_t entry) const {
  return !all_ && entry < known_ && !facts_[static_cast<size_t>(entry)].playable();
}

bool BrowseModel::Markable(int32_t entry) const {
  return entry >= known_ || facts_[static_cast<size_t>(entry)].playable();
}

// A sort by the facts takes the new ones in each time as many are in
// again, and once all are: a few sorts in all, however many entries.
bool BrowseModel::Learn(int32_t known) {
  known = std::min(known, index_.count);
  bool hidden = false;
  for (int32_t entry = known_; entry < known; ++entry) {
    if (facts_[static_cast<size_t>(entry)].playable()) continue;
    SetMark(entry, false);
    hidden = hidden || !all_;
  }
  if (known <= known_) return false;
  known_ = known;
  if (sort_.column >= 2 && (known_ == index_.count || known_ >= 2 * sorted_known_)) {
    Order();
  } else if (hidden) {
    Show();
  }
  return true;
}

void BrowseModel::SetFilter(const std::string& typed) {
  filter_ = typed;
  if (typed.empty()) {
    std::fill(passes_.begin(), passes_.end(), 1);
  } else {
    const EntryArgument filter = EntryArgument::Filter(typed);
    for (int32_t entry = 0; entry < index_.count; ++entry) {
      passes_[static_cast<size_t>(entry)] = filter.NamesShown(entry, NameText(entry)) ? 1 : 0;
    }
  }
  Show();
}

void BrowseModel::SortBy(int column) {
  if (column < 0 || column > 4) return;
  sort_.Click(column);
  Order();
}

// The entries in the sort's order, the rows again after them.
void BrowseModel::Order() {
  const auto key = [this](int32_t entry) {
    const EntryFacts* facts = Facts(entry);
    return RowKey{EntryName(index_.entries[entry]), index_.entries[entry].size,
                  facts ? facts->facts : RowFacts{}, entry};
  };
  const int column = sort_.column;
  const bool descending = sort_.descending;
  std::sort(order_.begin(), order_.end(), [&](int32_t a, int32_t b) {
    const int order = CompareRows(key(a), key(b), column);
    return descending ? order > 0 : order < 0;
  });
  for (size_t at = 0; at < order_.size(); ++at)
    place_[static_cast<size_t>(order_[at])] = static_cast<int32_t>(at);
  sorted_known_ = known_;
  Show();
}

// The rows again; the current row stays on its entry, or the one after it
// in the sort's order when it left, at the same height on the screen.
void BrowseModel::Show() {
  const int32_t was = cursor_ >= 0 ? shown_[static_cast<size_t>(cursor_)] : -1;
  const int32_t height = cursor_ - top_;
  shown_.clear();
  for (const int32_t entry : order_) {
    if (passes_[static_cast<size_t>(entry)] && !Hidden(entry)) shown_.push_back(entry);
  }
  if (shown_.empty()) {
    cursor_ = -1;
    top_ = 0;
    return;
  }
  if (was < 0) {
    cursor_ = 0;
  } else {
    const int32_t place = place_[static_cast<size_t>(was)];
    const auto at = std::lower_bound(
        shown_.begin(), shown_.end(), place,
        [this](int32_t entry, int32_t p) { return place_[static_cast<size_t>(entry)] < p; });
    cursor_ = static_cast<int32_t>(std::min<ptrdiff_t>(at - shown_.begin(), rows() - 1));
  }
  top_ = cursor_ - std::max(height, 0);
  Reveal();
}

void BrowseModel::SetPage(int32_t page) {
  page_ = std::max(page, 1);
  Reveal();
}

void BrowseModel::MoveCursor(int32_t by) { CursorTo(cursor_ + by); }

void BrowseModel::CursorTo(int32_t row) {
  if (shown_.empty()) return;
  cursor_ = std::clamp(row, 0, rows() - 1);
  Reveal();
}

void BrowseModel::Scroll(int32_t by) {
  if (shown_.empty()) return;
  top_ = std::clamp(top_ + by, 0, std::max(rows() - page_, 0));
  cursor_ = std::clamp(cursor_, top_, std::min(top_ + page_, rows()) - 1);
}

// The screen moves as little as it must to hold the current row, and
// never shows empty lines below the last row that a scroll back would fill.
void BrowseModel::Reveal() {
  if (shown_.empty()) return;
  top_ = std::clamp(top_, cursor_ - page_ + 1, cursor_);
  top_ = std::clamp(top_, 0, std::max(rows() - page_, 0));
}

void BrowseModel::SetMark(int32_t entry, bool mark) {
  uint8_t& marked = marked_[static_cast<size_t>(entry)];
  marked_count_ += (mark ? 1 : 0) - marked;
  marked = mark ? 1 : 0;
}

void BrowseModel::ToggleMark() {
  if (cursor_ < 0) return;
  const int32_t entry = RowEntry(cursor_);
  if (Markable(entry)) SetMark(entry, !Marked(entry));
  MoveCursor(1);
}

void BrowseModel::MarkShown() {
  for (const int32_t entry : shown_) {
    if (Markable(entry)) SetMark(entry, true);
  }
}

void BrowseModel::UnmarkAll() {
  std::fill(marked_.begin(), marked_.end(), 0);
  marked_count_ = 0;
}

std::vector<int32_t> BrowseModel::Chosen() const {
  std::vector<int32_t> chosen;
  if (marked_count_ == 0) {
    if (cursor_ >= 0) chosen.push_back(RowEntry(cursor_));
    return chosen;
  }
  chosen.reserve(static_cast<size_t>(marked_count_));
  for (const int32_t entry : order_) {
    if (Marked(entry)) chosen.push_back(entry);
  }
  return chosen;
}

}  // namespace kowaki::cli
