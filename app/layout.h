#pragma once
// The main window's arithmetic, apart from the window system so that it can
// be checked anywhere.

#include <array>
#include <cstdint>

namespace kowaki {

// The list's five columns share the client width less a vertical scroll
// bar by these weights (in 32nds), so they fill the list exactly when the
// scroll bar shows.
inline constexpr std::array<int32_t, 5> kListColumnWeights = {12, 5, 5, 5, 5};

inline std::array<int32_t, 5> ListColumnWidths(int32_t client_width, int32_t scroll_bar_width) {
  const int32_t usable = client_width - scroll_bar_width;
  std::array<int32_t, 5> widths{};
  for (size_t i = 0; i < widths.size(); ++i) widths[i] = kListColumnWeights[i] * usable / 32;
  return widths;
}

struct Rect {
  int32_t left, top, right, bottom;
};

struct Point {
  int32_t x, y;
};

// Where a window's top-left corner goes to centre it on its owner.
inline Point CenteredOrigin(const Rect& owner, const Rect& window) {
  const int32_t owner_width = owner.right - owner.left, owner_height = owner.bottom - owner.top;
  const int32_t width = window.right - window.left, height = window.bottom - window.top;
  return {owner.left + (owner_width - width) / 2, owner.top + (owner_height - height) / 2};
}

}  // namespace kowaki
