#include "platform/clock.h"

namespace tonvela {

std::string hourText(const LocalDateTime& reading) {
  const int hour = reading.hour;
  std::string text(2, '0');
  text[0] = static_cast<char>('0' + (hour / 10) % 10);
  text[1] = static_cast<char>('0' + hour % 10);
  return text;
}

}  // namespace tonvela
