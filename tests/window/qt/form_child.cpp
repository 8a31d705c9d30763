#include "tests/window/qt/form_child.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <stdexcept>
#include <string_view>

#include "tests/support/fake_clock.h"
#include "tests/support/recording_sound.h"
#include "tests/window/qt/tick_counter.h"
#include "window/qt/form14021.h"
#include "window/qt/message_box_error_report.h"

namespace tonvela::qt::test {
namespace {

void print(const QString& line) {
  std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
  std::fflush(stdout);
}

// Prints the open message box and presses its button, as the user would.
void answerMessageBox() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr) return;
  print(QStringLiteral("message box: ") + box->windowTitle() + QStringLiteral(" | ") + box->text());
  box->accept();
}

}  // namespace

int runChildScenario(int argc, char** argv, const char* scenario) {
  QApplication app(argc, argv);
  fakes::FakeClock clock(9);
  fakes::RecordingSound sound;
  MessageBoxErrorReport report;
  Form14021 form(clock, sound, report, std::chrono::milliseconds(10));
  const TickCounter ticks(form.Timer1);
  int ticksAtError = -1;
  const bool overflow = std::string_view(scenario) == kChildSoundRaisesOverflow;
  sound.whilePlaying = [&](int) {
    ticksAtError = ticks.tickInProgress();
    if (overflow) throw RuntimeError(ErrorNumber::Overflow);
    throw std::runtime_error("unexpected failure");
  };
  form.Text1[0]->setText(QStringLiteral("1"));
  form.show();

  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, &answerMessageBox);
  answerer.start(5);
  const int status = QApplication::exec();
  print(QStringLiteral("ticks after the error: %1").arg(ticks.delivered() - ticksAtError));
  return status;
}

}  // namespace tonvela::qt::test
