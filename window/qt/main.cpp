// The composition root: the real clock, sound and error report, the window, the event loop.
#include <QApplication>
#include <string_view>

#include "platform/program_identity.h"
#include "platform/sound/pulse/pulse_sound_player.h"
#include "platform/system_clock.h"
#include "window/qt/close_on_signal.h"
#include "window/qt/form14021.h"
#include "window/qt/message_box_error_report.h"
#include "window/qt/qt_translations.h"
#include "window/qt/runtime_dir_instance.h"
#include "window/single_instance.h"

namespace {

QString fromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(fromUtf8(tonvela::kProgramName));
  QApplication::setApplicationVersion(fromUtf8(tonvela::kProgramVersion));
  QApplication::setDesktopFileName(fromUtf8(tonvela::kProgramId));
  tonvela::qt::RuntimeDirInstance instance;
  if (tonvela::startInstance(instance) == tonvela::InstanceStart::HandedOver) {
    return 0;
  }
  tonvela::qt::installQtTranslations(app);

  tonvela::SystemClock clock;
  tonvela::PulseSoundPlayer sound;
  tonvela::qt::MessageBoxErrorReport errorReport;
  tonvela::qt::Form14021 form(clock, sound, errorReport);
  QApplication::setWindowIcon(form.windowIcon());
  instance.onComeForward = [&form] { tonvela::qt::bringToFront(form); };
  tonvela::qt::CloseOnSignal closeOnSignal(form);
  form.show();
  return QApplication::exec();
}
