#include "window/qt/window_attention.h"

#include <QApplication>

namespace tonvela {

void requestAttention(QWidget& window) { QApplication::alert(&window); }

}  // namespace tonvela
