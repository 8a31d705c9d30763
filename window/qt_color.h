#pragma once

#include <QColor>
#include <cstdint>

namespace tonvela::design {

// A design colour (0x00BBGGRR) as Qt's colour.
inline QColor fromBgr(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                static_cast<int>((bgr >> 16) & 0xFFu));
}

}  // namespace tonvela::design
