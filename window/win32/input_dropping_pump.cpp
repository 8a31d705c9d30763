#include "window/win32/input_dropping_pump.h"

namespace tonvela::win32 {
namespace {

struct MessageRange {
  UINT first;
  UINT last;
  bool holds(UINT message) const { return message >= first && message <= last; }
};

// The user's input, to whichever window of the thread it goes. Pastes, cuts and undos are here
// for when a program posts them; sent ones find the boxes read-only.
constexpr MessageRange kUserInput[] = {
    {WM_KEYFIRST, WM_KEYLAST},  // keys, and the characters made of them
    {WM_MOUSEFIRST, WM_MOUSELAST},
    {WM_IME_STARTCOMPOSITION, WM_IME_KEYLAST},
    {WM_IME_CHAR, WM_IME_CHAR},
    {WM_IME_KEYDOWN, WM_IME_KEYUP},
    {WM_GESTURE, WM_GESTURENOTIFY},
    {WM_TOUCH, WM_TOUCH},
    {WM_POINTERUPDATE, WM_POINTERHWHEEL},
    {WM_DROPFILES, WM_DROPFILES},
    {WM_CUT, WM_CUT},
    {WM_PASTE, WM_UNDO},  // paste, clear, undo
};

constexpr MessageRange kNonClientMouse{WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK};

bool isSystemKey(UINT message) {
  return message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_SYSCHAR ||
         message == WM_SYSDEADCHAR;
}

// Whether a message taken from the queue is the user's input. Non-client mouse messages are input
// only when meant for a control, not for the form's own frame.
bool isDroppedInput(const MSG& message, HWND form) {
  if (kNonClientMouse.holds(message.message)) {
    return message.hwnd != form;  // the form's title bar and frame: move, minimise, close
  }
  for (const MessageRange& range : kUserInput) {
    if (range.holds(message.message)) {
      return true;
    }
  }
  return false;
}

// Handles every message waiting, the sent ones included; false once WM_QUIT was met.
bool dispatchWaiting(HWND form) {
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    if (isSystemKey(message.message)) {
      // The form's commands (Alt+F4 closes, Alt+Space opens its menu), never a box's: a box would
      // undo its last edit on Alt+Backspace.
      message.hwnd = form;
    } else if (isDroppedInput(message, form)) {
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

}  // namespace

void InputDroppingPump::pumpUntil(const std::atomic<bool>& finished, HWND form) noexcept {
  while (!finished) {
    MsgWaitForMultipleObjectsEx(1, &wake_, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (!dispatchWaiting(form)) {
      return;
    }
  }
}

void InputDroppingPump::waitFor(const std::atomic<bool>& finished,
                                std::chrono::milliseconds limit) noexcept {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!finished) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return;
    }
    WaitForSingleObject(wake_, static_cast<DWORD>(left.count()));
  }
}

}  // namespace tonvela::win32
