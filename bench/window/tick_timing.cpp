// How closely Timer1 keeps to load + k x period: the window with a shortened period, its ticks
// stamped as they arrive. Prints the deviations' maximum and mean and their drift per tick.
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "tests/support/fake_clock.h"
#include "tests/support/recording_sound.h"
#include "window/qt/form14021.h"
#include "window/qt/message_box_error_report.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

void printDeviations(const std::vector<double>& deviations, int periodMs) {
  double maxAbs = 0;
  double sum = 0;
  for (const double d : deviations) {
    maxAbs = std::max(maxAbs, std::abs(d));
    sum += d;
  }
  // Drift: the slope of a least-squares line through the deviations, per tick.
  const double n = static_cast<double>(deviations.size());
  double sumK = 0, sumKK = 0, sumKD = 0;
  for (std::size_t i = 0; i < deviations.size(); ++i) {
    const double k = static_cast<double>(i + 1);
    sumK += k;
    sumKK += k * k;
    sumKD += k * deviations[i];
  }
  const double slope = (n * sumKD - sumK * sum) / (n * sumKK - sumK * sumK);
  std::printf(
      "tick timing: %zu ticks of %d ms: max |deviation| %.3f ms, mean %.3f ms, "
      "drift %.4f ms/tick (last tick %.3f ms)\n",
      deviations.size(), periodMs, maxAbs, sum / n, slope, deviations.back());
}

}  // namespace

int main(int argc, char** argv) {
  constexpr int kPeriodMs = 50;
  constexpr int kTicks = 100;
  QApplication app(argc, argv);
  tonvela::fakes::FakeClock clock(9);
  // Returns at once: the benchmark measures the timer, not playback.
  tonvela::fakes::RecordingSound sound;
  tonvela::qt::MessageBoxErrorReport errorReport;
  tonvela::qt::Form14021 form(clock, sound, errorReport, std::chrono::milliseconds(kPeriodMs));
  const Clock::time_point loaded = Clock::now();  // Timer1 starts as the constructor ends
  form.show();

  std::vector<double> deviations;
  QObject::connect(form.Timer1, &QTimer::timeout, [&] {
    const double k = static_cast<double>(deviations.size() + 1);
    deviations.push_back(millisecondsBetween(loaded, Clock::now()) - k * kPeriodMs);
    if (deviations.size() == kTicks) QApplication::quit();
  });
  QApplication::exec();
  printDeviations(deviations, kPeriodMs);
  return 0;
}
