#pragma once

class QCoreApplication;

namespace tonvela::qt {

// Qt's own texts (the boxes' context menu, the message box's button) in simplified Chinese, the
// program's language whatever the desktop's locale. Without Qt's translation files installed the
// program still works, with Qt's English texts. Returns whether the translations were found.
bool installQtTranslations(QCoreApplication& app);

}  // namespace tonvela::qt
