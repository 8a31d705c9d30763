// How closely the Win32 window's Timer1 keeps to load + k x period: the window with a shortened
// period and both intervals at 1, so every tick calls the sound, which stamps it. Prints the
// deviations' maximum and mean and their drift per tick, as the Qt window's benchmark does, and
// their spread: the stamp of load is taken before the window exists, so a constant offset is
// the window's creation, and the spread is the jitter.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "window/win32/form14021.h"
#include "window/win32/message_box_error_report.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr UINT kPeriodMs = 50;
constexpr std::size_t kTicks = 100;

class NineOClock final : public tonvela::Clock {
 public:
  tonvela::LocalDateTime now() const override { return {2024, 3, 1, 9, 0, 0}; }
};

// Stamps each tick and returns at once: the benchmark measures the timer, not playback.
class StampingSound final : public tonvela::SoundPlayer {
 public:
  using SoundPlayer::playSync;
  bool playSync(const std::string&, std::stop_token) override {
    const double k = static_cast<double>(deviations.size() + 1);
    deviations.push_back(std::chrono::duration<double, std::milli>(Clock::now() - loaded).count() -
                         k * kPeriodMs);
    if (deviations.size() == kTicks) {
      PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return true;
  }
  Clock::time_point loaded;
  HWND window = nullptr;
  std::vector<double> deviations;
};

void printDeviations(const std::vector<double>& deviations) {
  double maxAbs = 0;
  double sum = 0;
  const auto [lowest, highest] = std::minmax_element(deviations.begin(), deviations.end());
  double sumK = 0, sumKK = 0, sumKD = 0;
  for (std::size_t i = 0; i < deviations.size(); ++i) {
    const double k = static_cast<double>(i + 1);
    maxAbs = std::max(maxAbs, std::abs(deviations[i]));
    sum += deviations[i];
    sumK += k;
    sumKK += k * k;
    sumKD += k * deviations[i];
  }
  // Drift: the slope of a least-squares line through the deviations, per tick.
  const double n = static_cast<double>(deviations.size());
  const double slope = (n * sumKD - sumK * sum) / (n * sumKK - sumK * sumK);
  std::printf(
      "tick timing: %zu ticks of %u ms: max |deviation| %.3f ms, mean %.3f ms, "
      "drift %.4f ms/tick (last tick %.3f ms); jitter (max - min) %.3f ms\n",
      deviations.size(), kPeriodMs, maxAbs, sum / n, slope, deviations.back(), *highest - *lowest);
}

}  // namespace

int main() {
  NineOClock clock;
  StampingSound sound;
  tonvela::win32::MessageBoxErrorReport errorReport;
  tonvela::win32::Form14021 form(clock, sound, errorReport, std::chrono::milliseconds(kPeriodMs));
  sound.loaded = Clock::now();  // Timer1 is set as create() loads the form
  if (!form.create(GetModuleHandleW(nullptr), SW_SHOWNORMAL)) {
    return 1;
  }
  sound.window = form.window();
  SetWindowTextW(form.box(0), L"1");
  SetWindowTextW(form.box(1), L"1");
  form.run();
  if (sound.deviations.empty()) {
    return 1;
  }
  printDeviations(sound.deviations);
  return 0;
}
