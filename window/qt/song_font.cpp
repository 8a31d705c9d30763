#include "window/qt/song_font.h"

#include "window/form_design.h"

namespace tonvela::qt {

QStringList songFamilies() {
  return {QString::fromUtf8(design::kFontFamily),
          QStringLiteral("SimSun"),
          QStringLiteral("NSimSun"),
          QStringLiteral("Noto Serif CJK SC"),
          QStringLiteral("AR PL UMing CN"),
          QStringLiteral("AR PL UMing TW")};
}

QFont songFont(double pointSize, QFont::Weight weight) {
  QFont font;
  font.setFamilies(songFamilies());
  // When none of the families is installed, a serif face is the closest to a Song face.
  font.setStyleHint(QFont::Serif);
  font.setPointSizeF(pointSize);
  font.setWeight(weight);
  return font;
}

}  // namespace tonvela::qt
