#pragma once

#include <QColor>
#include <QRect>
#include <cstdint>

#include "window/twips.h"

namespace tonvela::qt {

// The design's 0x00BBGGRR colours as Qt colours.
inline QColor fromBgr(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                static_cast<int>((bgr >> 16) & 0xFFu));
}

// Qt's device-independent pixels are 96-dpi pixels, so the design's pixels are Qt's, and Qt
// scales them on HiDPI screens.
constexpr QRect toQRect(const TwipsRect& rect) {
  return QRect(twipsToPixels(rect.left), twipsToPixels(rect.top), twipsToPixels(rect.width),
               twipsToPixels(rect.height));
}

}  // namespace tonvela::qt
