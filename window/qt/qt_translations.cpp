#include "window/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tonvela::qt {

bool installQtTranslations(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  const QLocale simplifiedChinese(QLocale::Chinese, QLocale::SimplifiedChineseScript,
                                  QLocale::China);
  if (!translator->load(simplifiedChinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace tonvela::qt
