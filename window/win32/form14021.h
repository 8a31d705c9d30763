#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <chrono>

#include "core/reminder.h"
#include "platform/clock.h"
#include "platform/error_report.h"
#include "platform/sound_player.h"
#include "window/form_engine.h"
#include "window/front_end.h"
#include "window/win32/held_boxes.h"
#include "window/win32/input_dropping_pump.h"
#include "window/win32/win32_fonts.h"

namespace tonvela::win32 {

// The reminder's one window as a native Win32 window: four labels, the two boxes Text1(0) and
// Text1(1), and the one-minute timer Timer1, laid out from the design table at the window's own
// DPI. What it does with its events, the voice and a close is the engine's (FormEngine); this
// class turns window messages into the engine's calls and lends it Win32's pieces: a message loop
// that drops user input while the voice plays, the taskbar flash, Timer1 as a window timer.
class Form14021 final : private FrontEnd {
 public:
  static constexpr std::chrono::milliseconds kTickPeriod = FormEngine::kTickPeriod;
  // Later starts find the running window by it, and the installer closes it by it.
  static constexpr wchar_t kClassName[] = L"Tonvela.Form14021";
  // Posted by a later start: the window comes to the front, restored if minimised.
  static UINT comeForwardMessage();

  // A shorter tickPeriod is for tests and benchmarks only.
  Form14021(const Clock& clock, SoundPlayer& sound, ErrorReport& errorReport,
            std::chrono::milliseconds tickPeriod = kTickPeriod);
  ~Form14021();
  Form14021(const Form14021&) = delete;
  Form14021& operator=(const Form14021&) = delete;

  // Creates the window from its design, loads it (Form_Load, Timer1) and shows it.
  bool create(HINSTANCE instance, int showCommand);

  // Runs the event loop until the window is gone; the program's exit status.
  int run();

  HWND window() const { return window_; }
  HWND box(int index) const { return boxes_.at(static_cast<std::size_t>(index)); }
  HWND label(int index) const { return labels_.at(static_cast<std::size_t>(index)); }
  UINT dpi() const { return dpi_; }
  const Reminder& reminder() const { return engine_.reminder(); }

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void createControls(HINSTANCE instance);
  void applyDpi(UINT dpi);
  void layBoxesOverLabels();
  void boxChanged(int index);
  LRESULT boxColours(HDC dc, HWND box);
  void close();
  [[noreturn]] void endWithSession();
  void comeForward();

  void pumpUntil(const std::atomic<bool>& finished) noexcept override;
  void wakePump() noexcept override;
  void askForAttention() override;
  void startTimer1(std::chrono::milliseconds period) override;
  void stopTimer1() override;
  void endProgram(int status) override;

  HWND window_ = nullptr;
  std::array<HWND, 4> labels_{};
  std::array<HWND, 2> boxes_{};
  HWND lastFocus_ = nullptr;
  UINT dpi_ = 96;
  Font labelFont_;
  Font boxFont_;
  std::array<HBRUSH, 2> boxBrushes_{};
  HeldBoxes heldBoxes_{boxes_};
  InputDroppingPump pump_;
  const std::atomic<bool>* voiceFinished_ = nullptr;  // while the voice plays
  bool quitOnDestroy_ = true;
  int exitStatus_ = 0;
  FormEngine engine_;
};

}  // namespace tonvela::win32
