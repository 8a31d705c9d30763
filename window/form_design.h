#pragma once

#include <array>
#include <cstdint>

#include "twips_rect.h"

namespace tonvela::design {

// The window exactly as it was designed; nothing of it is read from a file or changed at run time.
// Plain C++: the Qt and the Win32 front-ends draw from it alike.

inline constexpr const char* kCaption = "Tonvela......";
inline constexpr int kClientWidthTwips = 2865;
inline constexpr int kClientHeightTwips = 1050;

inline constexpr double kLabelPointSize = 12.0;
inline constexpr double kBoxPointSize = 10.5;

struct LabelDesign {
  const char* text;  // UTF-8
  TwipsRect rect;
};

// Colours are 0x00BBGGRR: red in the low byte, blue in the high one (Windows' COLORREF).
struct BoxDesign {
  const char* text;
  TwipsRect rect;
  std::uint32_t textBgr;
  std::uint32_t backBgr;
};

// Indexed as the control array Label1: the two units "分" and the two long labels, which reach
// under the boxes.
inline constexpr std::array<LabelDesign, 4> kLabel1{{
    {"分", {2520, 120, 255, 255}},
    {"白天间隔时间:", {120, 120, 1815, 255}},
    {"晚上间隔时间:", {120, 600, 1935, 255}},
    {"分", {2520, 600, 255, 255}},
}};
inline constexpr std::uint32_t kLabelTextBgr = 0x00000000;

// Indexed as the control array Text1: 0 is the day box, 1 the night box. The start texts equal the
// intervals' load values, so display and state agree without copying one into the other.
inline constexpr std::array<BoxDesign, 2> kText1{{
    {"15", {1680, 120, 735, 285}, 0x000000FF, 0x00FFFFFF},
    {"25", {1680, 600, 735, 285}, 0x00C00000, 0x00FFFFFF},
}};

// The label that names each box, for its accessible name.
inline constexpr std::array<int, 2> kLabelOfBox{1, 2};

}  // namespace tonvela::design
