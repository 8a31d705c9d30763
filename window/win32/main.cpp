// The composition root on Windows: the session's one instance, the real clock, sound and error
// report, the window, its message loop. Everything is wide-character; the program takes no
// arguments.
#include <windows.h>

#include "platform/sound/winmm/winmm_sound_player.h"
#include "platform/system_clock.h"
#include "window/event_boundary.h"
#include "window/single_instance.h"
#include "window/win32/form14021.h"
#include "window/win32/message_box_error_report.h"
#include "window/win32/session_instance.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // Held until the program ends: it is what makes this start the session's one instance.
  tonvela::win32::SessionInstance sessionInstance(tonvela::win32::sessionMutexName(),
                                                  tonvela::win32::Form14021::kClassName,
                                                  tonvela::win32::Form14021::comeForwardMessage());
  if (tonvela::startInstance(sessionInstance) == tonvela::InstanceStart::HandedOver) {
    return 0;
  }
  tonvela::SystemClock clock;
  tonvela::WinmmSoundPlayer sound;
  tonvela::win32::MessageBoxErrorReport errorReport;
  tonvela::win32::Form14021 form(clock, sound, errorReport);
  if (!form.create(instance, showCommand)) {
    return tonvela::kUnhandledErrorExitStatus;
  }
  errorReport.setOwner(form.window());
  return form.run();
}
