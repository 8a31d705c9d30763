// The composition root: the real clock, sound and error report, the window, the event loop.
#include <QApplication>

#include "platform/sound/pulse_sound_player.h"
#include "platform/system_clock.h"
#include "window/qt/close_on_signal.h"
#include "window/qt/form14021.h"
#include "window/qt/message_box_error_report.h"
#include "window/qt/qt_translations.h"
#include "window/qt/single_instance.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(tonvela::kProgramName));
  QApplication::setDesktopFileName(QStringLiteral("org.tonvela.Tonvela"));
  tonvela::SingleInstance instance;
  if (instance.handedOffToRunning()) {
    return 0;
  }
  tonvela::installQtTranslations(app);

  tonvela::SystemClock clock;
  tonvela::PulseSoundPlayer sound;
  tonvela::MessageBoxErrorReport errorReport;
  tonvela::Form14021 form(clock, sound, errorReport);
  QApplication::setWindowIcon(form.windowIcon());
  QObject::connect(&instance, &tonvela::SingleInstance::activationRequested, &form,
                   [&form] { tonvela::bringToFront(form); });
  tonvela::CloseOnSignal closeOnSignal(form);
  form.show();
  return QApplication::exec();
}
