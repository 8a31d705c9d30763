#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>

namespace tonvela::win32 {

// The window thread's message loop while the voice plays: paint, timers, messages sent by other
// programs and the system (a close, the end of the session) are handled at once, so the window
// never looks hung, while the user's keyboard, mouse, touch and input-method messages are
// dropped, not kept for later, so nothing typed over the voice lands once it ends. The form's own
// title bar and its system keys (Alt+F4, Alt+Space) still work: they move, minimise or close the
// window and never reach a box.
class InputDroppingPump {
 public:
  InputDroppingPump() : wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  ~InputDroppingPump() {
    if (wake_ != nullptr) {
      CloseHandle(wake_);
    }
  }
  InputDroppingPump(const InputDroppingPump&) = delete;
  InputDroppingPump& operator=(const InputDroppingPump&) = delete;

  // False when the system could not give the wake event: the pump cannot wait.
  bool usable() const { return wake_ != nullptr; }

  // Until `finished` is set, or a WM_QUIT is met (which is posted again, for the outer loop).
  void pumpUntil(const std::atomic<bool>& finished, HWND form) noexcept;
  // From any thread, after setting the flag.
  void wake() noexcept { SetEvent(wake_); }
  // Until `finished` is set or the limit has passed, taking no message meanwhile.
  void waitFor(const std::atomic<bool>& finished, std::chrono::milliseconds limit) noexcept;

 private:
  HANDLE wake_;
};

}  // namespace tonvela::win32
