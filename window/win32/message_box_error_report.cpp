#include "window/win32/message_box_error_report.h"

#include <string>

#include "platform/win_text.h"

namespace tonvela::win32 {

void MessageBoxErrorReport::report(const RuntimeError& error) {
  const std::wstring text =
      widen(errorHeading(error.number()) + "\n\n" + std::string(errorDescription(error.number())));
  MessageBoxW(owner_, text.c_str(), L"Tonvela", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace tonvela::win32
