#pragma once

#include <windows.h>

#include <array>
#include <exception>

#include "core/reminder.h"
#include "platform/clock.h"
#include "platform/error_report.h"
#include "platform/sound_player.h"
#include "window/attention_on_silence.h"
#include "window/event_boundary.h"
#include "window/win32/win32_fonts.h"

namespace tonvela::win32 {

// The reminder's one window as a native Win32 window: four labels, the two boxes Text1(0) and
// Text1(1), and the one-minute timer Timer1, laid out from the design table at the window's own
// DPI. It turns window messages into the reminder's events and owns nothing of the logic.
class Form14021 {
 public:
  static constexpr UINT kTimer1Millis = 60000;

  // tickMillis: Timer1's period; tests shorten it.
  Form14021(const Clock& clock, SoundPlayer& sound, ErrorReport& errorReport,
            UINT tickMillis = kTimer1Millis);
  ~Form14021();
  Form14021(const Form14021&) = delete;
  Form14021& operator=(const Form14021&) = delete;

  // Creates the window from its design, loads the reminder, starts Timer1 and shows the window.
  bool create(HINSTANCE instance, int showCommand);

  // Runs the event loop until the window is gone; the program's exit status.
  int run();

  HWND window() const { return window_; }
  HWND box(int index) const { return boxes_.at(static_cast<std::size_t>(index)); }
  HWND label(int index) const { return labels_.at(static_cast<std::size_t>(index)); }
  UINT dpi() const { return dpi_; }
  const Reminder& reminder() const { return reminder_; }

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void createControls(HINSTANCE instance);
  void applyDpi(UINT dpi);
  void layBoxesOverLabels();
  void boxChanged(int index);
  LRESULT boxColours(HDC dc, HWND box);

  // Runs one event's handler; an error leaving it ends the program after its report.
  template <typename Handler>
  void deliver(Handler&& handler) noexcept;
  void flashTaskbarButton();

  AttentionOnSilence sound_;
  ErrorReport& errorReport_;
  Reminder reminder_;
  UINT tickMillis_;
  HWND window_ = nullptr;
  std::array<HWND, 4> labels_{};
  std::array<HWND, 2> boxes_{};
  HWND lastFocus_ = nullptr;
  UINT dpi_ = 96;
  Font labelFont_;
  Font boxFont_;
  std::array<HBRUSH, 2> boxBrushes_{};
  bool ended_ = false;
  bool quitOnDestroy_ = true;
  int exitStatus_ = 0;
};

}  // namespace tonvela::win32
