#pragma once

#include "platform/clock.h"

namespace tonvela::fakes {

// A clock that shows whatever time the test sets, and counts how often it was read.
class FakeClock final : public Clock {
 public:
  FakeClock() = default;
  explicit FakeClock(int hour, int minute = 0) { set(hour, minute); }

  LocalDateTime now() const override {
    ++readings;
    return time;
  }

  void set(int hour, int minute) {
    time.hour = hour;
    time.minute = minute;
  }

  // Moves on by whole minutes, across midnight if need be.
  void advanceMinutes(int minutes) {
    const int total = (time.hour * 60 + time.minute + minutes) % (24 * 60);
    set(total / 60, total % 60);
  }

  LocalDateTime time{2026, 12, 8, 9, 0, 0};
  mutable int readings = 0;
};

}  // namespace tonvela::fakes
