#pragma once

#include "window/form_design.h"

namespace tonvela::win32 {

using tonvela::twipsToPixels;

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
