#pragma once

namespace tonvela {

// The design is measured in twips (1/1440 inch). At 96 dpi that is 15 twips to the pixel; a
// front-end scales those 96-dpi pixels to the screen it draws on.
inline constexpr int kTwipsPerPixel = 15;

// Rounds to the nearest pixel; every measure of the design is a whole number of pixels anyway.
constexpr int twipsToPixels(int twips) {
  return (twips + (twips >= 0 ? kTwipsPerPixel / 2 : -(kTwipsPerPixel / 2))) / kTwipsPerPixel;
}

struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

}  // namespace tonvela
