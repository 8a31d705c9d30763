#pragma once

#include <QFont>
#include <QStringList>

namespace tonvela::qt {

// "宋体" first, as designed, then the Song and Ming faces a Linux desktop is likely to have, so the
// Chinese texts never show as boxes.
QStringList songFamilies();

QFont songFont(double pointSize, QFont::Weight weight);

}  // namespace tonvela::qt
