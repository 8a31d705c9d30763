// Where the program's start-up time goes: the steps main() takes, in its order, each timed on its
// own, and before them the time from the process's start to main() (loading and linking the
// libraries). The fonts and the icon are also timed apart, ahead of the window that uses them.
// Prints one line of "step milliseconds" pairs; run.sh runs it several times.
//
//   bench_startup_steps <process start, ns since the epoch>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QPixmap>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/sound/pulse/pulse_sound_player.h"
#include "resources/icons/tonvela-32.xpm"
#include "platform/system_clock.h"
#include "window/form_design.h"
#include "window/qt/form14021.h"
#include "window/qt/message_box_error_report.h"
#include "window/qt/qt_translations.h"
#include "window/qt/runtime_dir_instance.h"
#include "window/qt/song_font.h"
#include "window/single_instance.h"

namespace {

using WallClock = std::chrono::system_clock;

class Steps {
 public:
  explicit Steps(WallClock::time_point processStart) : last_(processStart) {}
  void done(const char* step) {
    const auto now = WallClock::now();
    std::printf("%s %.2f ", step, std::chrono::duration<double, std::milli>(now - last_).count());
    last_ = now;
  }

 private:
  WallClock::time_point last_;
};

// Returns once the window system has shown the window.
void waitUntilExposed(QWidget& window) {
  QEventLoop loop;
  struct ExposeWatch : QObject {
    explicit ExposeWatch(QEventLoop& loop) : loop_(loop) {}
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Expose) {
        loop_.quit();
      }
      return false;
    }
    QEventLoop& loop_;
  } watch(loop);
  window.windowHandle()->installEventFilter(&watch);
  if (!window.windowHandle()->isExposed()) {
    loop.exec();
  }
}

}  // namespace

int main(int argc, char** argv) {
  const WallClock::time_point processStart{
      std::chrono::nanoseconds(argc > 1 ? std::strtoll(argv[1], nullptr, 10) : 0)};
  Steps steps(processStart);
  steps.done("to_main");
  QApplication app(argc, argv);
  steps.done("qapplication");
  tonvela::qt::RuntimeDirInstance instance;
  tonvela::startInstance(instance);
  steps.done("single_instance");
  tonvela::qt::installQtTranslations(app);
  steps.done("translations");
  const QFontMetrics metrics(tonvela::qt::songFont(tonvela::design::kLabelPointSize, QFont::Normal));
  metrics.horizontalAdvance(QString::fromUtf8(tonvela::design::kLabel1[1].text));
  steps.done("fonts");
  const QPixmap icon(tonvela_32);
  steps.done("icon");
  tonvela::SystemClock clock;
  tonvela::PulseSoundPlayer sound;
  steps.done("sound_player");
  tonvela::qt::MessageBoxErrorReport errorReport;
  tonvela::qt::Form14021 form(clock, sound, errorReport);
  steps.done("window");
  form.show();
  waitUntilExposed(form);
  steps.done("shown");
  std::printf("\n");
  return 0;
}
