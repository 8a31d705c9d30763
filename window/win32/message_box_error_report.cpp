#include "window/win32/message_box_error_report.h"

#include <string>

#include "platform/program_identity.h"
#include "platform/win_text.h"

namespace tonvela::win32 {

void MessageBoxErrorReport::report(const RuntimeError& error) {
  MessageBoxW(owner_, widen(errorReportText(error)).c_str(), widen(kProgramName).c_str(),
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace tonvela::win32
