// Where a window may stand on its screen.
#pragma once

#include <QRect>
#include <algorithm>

namespace tarquel::gui {

// `window` moved (never resized) so that it lies inside `available`, the
// screen's area without its panels; along an axis where it is larger than
// that area, it starts at the area's left or top edge, so that its title
// and its window buttons stay on the screen.
inline QRect PlaceOnScreen(const QRect& window, const QRect& available) {
  const auto axis = [](int position, int length, int start, int room) {
    return length >= room ? start : std::clamp(position, start, start + room - length);
  };
  QRect placed = window;
  placed.moveTo(axis(window.x(), window.width(), available.x(), available.width()),
                axis(window.y(), window.height(), available.y(), available.height()));
  return placed;
}

}  // namespace tarquel::gui
