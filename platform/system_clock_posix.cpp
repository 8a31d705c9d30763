#include <ctime>

#include "platform/system_clock.h"

namespace tonvela {

LocalDateTime SystemClock::now() const {
  // localtime_r, unlike localtime, neither shares a static buffer nor skips tzset() on changes
  // of the TZ variable, so the reading follows the desktop's time zone.
  tzset();
  const std::time_t seconds = std::time(nullptr);
  std::tm local{};
  localtime_r(&seconds, &local);
  return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace tonvela
