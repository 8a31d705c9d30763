#pragma once

namespace tonvela {

// The design is measured in twips (1/1440 inch): 15 twips to the pixel at 96 dpi, the pixels Qt
// works in and scales itself; the Win32 window scales to its monitor's dpi.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDesignDpi = 96;

// Pixels for a measure in twips at a given dpi, rounded to nearest (halves away from zero), so
// the design keeps its physical size on a 150 % or 200 % display.
constexpr int twipsToPixels(int twips, int dpi = kDesignDpi) {
  const long long scaled = static_cast<long long>(twips) * dpi;
  const long long half = kTwipsPerInch / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kTwipsPerInch
                                      : (scaled - half) / kTwipsPerInch);
}

struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

}  // namespace tonvela
