#pragma once

#include <string>

namespace tonvela {

// A reading of the local wall clock.
struct LocalDateTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;
};

// Where the reminder learns the time of day. Handed in, so a test can set the hour.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime now() const = 0;
};

// The hour of a reading as two digits on a 24-hour clock, "00" to "23".
std::string hourText(const LocalDateTime& reading);

}  // namespace tonvela
