#pragma once

#include "window/form_design.h"

namespace tonvela::win32 {

// Pixels for a measure in twips at a given DPI: 1440 twips to the inch, rounded to nearest, so
// the design keeps its physical size on a 150 % or 200 % display.
constexpr int twipsToPixels(int twips, int dpi) {
  const long long scaled = static_cast<long long>(twips) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : (scaled - 720) / 1440);
}

struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

constexpr PixelRect twipsToPixels(const TwipsRect& rect, int dpi) {
  return {twipsToPixels(rect.left, dpi), twipsToPixels(rect.top, dpi),
          twipsToPixels(rect.width, dpi), twipsToPixels(rect.height, dpi)};
}

// A font's height in pixels for its size in points (72 to the inch); negative, as LOGFONT
// wants it for the character height rather than the cell height.
constexpr int fontHeightForPoints(double points, int dpi) {
  return -static_cast<int>(points * dpi / 72.0 + 0.5);
}

}  // namespace tonvela::win32
