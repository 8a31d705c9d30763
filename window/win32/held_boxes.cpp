#include "window/win32/held_boxes.h"

#include <imm.h>

#include "window/win32/window_text.h"

namespace tonvela::win32 {
namespace {

void cancelComposition(HWND box) {
  if (HIMC context = ImmGetContext(box)) {
    ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
    ImmReleaseContext(box, context);
  }
}

// An edit box captures the mouse from a press until its release while the user drags a
// selection. The release is given to it where the pointer now is; the selection it had when the
// press began is put back afterwards.
void endPress(HWND box) {
  if (GetCapture() != box) {
    return;
  }
  POINT at{};
  GetCursorPos(&at);
  ScreenToClient(box, &at);
  SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  if (GetCapture() == box) {
    ReleaseCapture();
  }
}

}  // namespace

void HeldBoxes::hold() {
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    HWND window = windows_[i];
    Box& box = boxes_[i];
    box.text = windowText(window);
    SendMessageW(window, EM_GETSEL, reinterpret_cast<WPARAM>(&box.selectionStart),
                 reinterpret_cast<LPARAM>(&box.selectionEnd));
    box.readOnly = (GetWindowLongW(window, GWL_STYLE) & ES_READONLY) != 0;
    cancelComposition(window);
    // Without an input context no input method composes into the box, whatever keys reach it.
    box.inputContext = ImmAssociateContext(window, nullptr);
    SendMessageW(window, EM_SETREADONLY, TRUE, 0);
    endPress(window);
    restoreSelection(i);
  }
  held_ = true;
}

void HeldBoxes::release() {
  held_ = false;
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    HWND window = windows_[i];
    SendMessageW(window, EM_SETREADONLY, boxes_[i].readOnly, 0);
    ImmAssociateContext(window, boxes_[i].inputContext);
    restoreSelection(i);
  }
}

void HeldBoxes::putBack(std::size_t index) {
  if (!held_) {
    return;
  }
  HWND window = windows_.at(index);
  const Box& box = boxes_[index];
  if (windowText(window) != box.text) {
    puttingBack_ = true;
    SetWindowTextW(window, box.text.c_str());
    puttingBack_ = false;
  }
  restoreSelection(index);
}

void HeldBoxes::restoreSelection(std::size_t index) const {
  HWND window = windows_[index];
  const Box& box = boxes_[index];
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  if (start != box.selectionStart || end != box.selectionEnd) {
    SendMessageW(window, EM_SETSEL, box.selectionStart, box.selectionEnd);
  }
}

}  // namespace tonvela::win32
