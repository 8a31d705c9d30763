#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <string>

namespace tonvela::win32 {

// The two edit boxes while the voice plays: each keeps the text and selection it had when the
// voice began and takes no typing, paste, input-method text or edit of any other kind; when the
// voice ends they take input again, as they were. What a box had half done when the voice began
// is ended first: a drag-selection's mouse press is released (its release would come while input
// is dropped, leaving the box capturing the mouse and scrolling on its timer), and an input
// method's unfinished text is cancelled, not committed.
class HeldBoxes {
 public:
  // The boxes are read when held, so they may be created after this object.
  explicit HeldBoxes(const std::array<HWND, 2>& boxes) : windows_(boxes) {}

  void hold();
  void release();
  // An edit reached box `index` while held (an accessibility tool's WM_SETTEXT, say): the box goes
  // back to what it was. Its own change notification comes while puttingBack() is true.
  void putBack(std::size_t index);
  bool puttingBack() const { return puttingBack_; }

 private:
  struct Box {
    std::wstring text;
    DWORD selectionStart = 0;
    DWORD selectionEnd = 0;
    bool readOnly = false;
    HIMC inputContext = nullptr;  // the box's own, detached while held
  };

  void restoreSelection(std::size_t index) const;

  const std::array<HWND, 2>& windows_;
  std::array<Box, 2> boxes_;
  bool held_ = false;
  bool puttingBack_ = false;
};

}  // namespace tonvela::win32
