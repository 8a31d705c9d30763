#pragma once

#include <QRect>

#include "twips_rect.h"

namespace tonvela {

// Qt's device-independent pixels are 96-dpi pixels, so the design holds on any screen and Qt
// scales it on HiDPI ones.
constexpr QRect twipsToPixels(const TwipsRect& rect) {
  return QRect(twipsToPixels(rect.left), twipsToPixels(rect.top), twipsToPixels(rect.width),
               twipsToPixels(rect.height));
}

}  // namespace tonvela
