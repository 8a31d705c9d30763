#pragma once

#include <QWidget>

namespace tonvela {

// Asks the desktop to draw the user's eye to the window (the taskbar entry flashes or is marked)
// until the user activates it. Does nothing while the window is the active one.
void requestAttention(QWidget& window);

}  // namespace tonvela
