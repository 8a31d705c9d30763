#include <windows.h>

#include "platform/system_clock.h"

namespace tonvela {

LocalDateTime SystemClock::now() const {
  // Windows' own local time, in the zone chosen in its settings. The C runtime's localtime
  // follows a TZ variable first, which MSYS and Cygwin put in the environment with another zone.
  SYSTEMTIME local{};
  GetLocalTime(&local);
  return LocalDateTime{local.wYear, local.wMonth,  local.wDay,
                       local.wHour, local.wMinute, local.wSecond};
}

}  // namespace tonvela
