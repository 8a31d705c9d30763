#include <ctime>

#include "platform/system_clock.h"

namespace tonvela {

LocalDateTime SystemClock::now() const {
  // localtime_s fills the caller's buffer (no shared static one); _tzset picks up a changed
  // TZ variable, as tzset does on POSIX.
  _tzset();
  const std::time_t seconds = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &seconds);
  return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace tonvela
