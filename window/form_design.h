#pragma once

#include <array>
#include <cstdint>

#include "window/twips.h"

namespace tonvela::design {

// The window exactly as it was designed; nothing of it is read from a file or changed at run time.
// Plain C++, so every front-end (Qt, Win32) draws the very same window from it. Colours are
// 0x00BBGGRR, red in the low byte, blue in the high one, as the design gives them.

inline constexpr const char* kCaption = "Tonvela......";
inline constexpr int kClientWidthTwips = 2865;
inline constexpr int kClientHeightTwips = 1050;

// Every text is in the Song face "宋体", in the simplified-Chinese character set; front-ends fall
// back to a face with the same glyphs where it is missing.
inline constexpr const char* kFontFamily = "宋体";
inline constexpr double kLabelPointSize = 12.0;
inline constexpr int kLabelFontWeight = 400;  // normal
inline constexpr double kBoxPointSize = 10.5;
inline constexpr int kBoxFontWeight = 700;  // bold

struct LabelDesign {
  const char* text;  // UTF-8
  TwipsRect rect;
};

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

// Indexed as the control array Text1: 0 is the day box, 1 the night box, which is also the tab
// order (labels never take the focus, so it starts in the day box). The start texts equal the
// intervals' load values, so display and state agree without copying one into the other.
inline constexpr std::array<BoxDesign, 2> kText1{{
    {"15", {1680, 120, 735, 285}, 0x000000FF, 0x00FFFFFF},
    {"25", {1680, 600, 735, 285}, 0x00C00000, 0x00FFFFFF},
}};

// The label that names each box, for its accessible name.
inline constexpr std::array<int, 2> kLabelOfBox{1, 2};

}  // namespace tonvela::design
