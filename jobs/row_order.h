#pragma once
// The order of the list's rows when a column header is clicked: the name
// column by the name's bytes, the others by the numbers they show, not by
// their texts (9 before 10). Rows that tie keep their entries' order, so
// that a second click on the column reverses the list exactly. Both faces
// sort by these rules: the window's list and kowaki-cli browse.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "jobs/job_window.h"

namespace kowaki {

struct RowKey {
  std::string_view name;  // code page 932 bytes
  uint32_t size;
  RowFacts facts;
  int32_t entry;
};

template <typename T>
int Compare(const T& a, const T& b) {
  return a < b ? -1 : b < a ? 1 : 0;
}

// Below, at or above zero as `a` goes before, with or after `b` under
// `column` (0 to 4, as the list's), ascending.
inline int CompareRows(const RowKey& a, const RowKey& b, int column) {
  int order = 0;
  switch (column) {
    case 0:
      // As unsigned bytes, so that double-byte characters follow ASCII.
      order = std::memcmp(a.name.data(), b.name.data(), std::min(a.name.size(), b.name.size()));
      if (order == 0) order = Compare(a.name.size(), b.name.size());
      break;
    case 1:
      order = Compare(a.size, b.size);
      break;
    case 2:
      order = Compare(a.facts.seconds, b.facts.seconds);
      break;
    case 3:
      order = Compare(a.facts.channels, b.facts.channels);
      break;
    case 4:
      order = Compare(a.facts.rate, b.facts.rate);
      break;
    default:
      break;
  }
  return order != 0 ? order : Compare(a.entry, b.entry);
}

// How the rows were last sorted: by a column (-1: none, entry order),
// ascending or reversed.
struct RowSort {
  int column = -1;
  bool descending = false;
  // A click on `column`: ascending, or reversed when it sorted the rows last.
  void Click(int clicked) {
    descending = clicked == column && !descending;
    column = clicked;
  }
};

}  // namespace kowaki
