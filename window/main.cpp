// The composition root: the real clock, sound and error report, the window, the event loop.
#include <QApplication>

#include "form14021.h"
#include "message_box_error_report.h"
#include "pulse_sound_player.h"
#include "qt_translations.h"
#include "system_clock.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(tonvela::kProgramName));
  QApplication::setDesktopFileName(QStringLiteral("tonvela"));
  tonvela::installQtTranslations(app);

  tonvela::SystemClock clock;
  tonvela::PulseSoundPlayer sound;
  tonvela::MessageBoxErrorReport errorReport;
  tonvela::Form14021 form(clock, sound, errorReport);
  QApplication::setWindowIcon(form.windowIcon());
  form.show();
  return QApplication::exec();
}
