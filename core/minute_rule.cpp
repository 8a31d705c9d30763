#include "core/minute_rule.h"

#include <cstdint>
#include <limits>
#include <string>

#include "platform/runtime_error.h"

namespace tonvela {

bool isDayHour(std::string_view hourText) {
  const bool fromEight = hourText >= "08";
  const bool beforeSix = hourText < "18";
  return fromEight && beforeSix;
}

void runMinuteTick(ReminderState& state, const Clock& clock, SoundPlayer& sound) {
  if (state.ElapsedMinutes == std::numeric_limits<std::int16_t>::max()) raiseOverflow();
  ++state.ElapsedMinutes;

  // One reading decides the hour: two readings either side of midnight could mix "23" and "00"
  // and take the day interval at night.
  const std::string hour = hourText(clock.now());
  const std::int16_t threshold = isDayHour(hour) ? state.DayInterval : state.NightInterval;
  if (state.ElapsedMinutes < threshold) return;

  // Whether the sound played or not, this reminder is over; a missing file must not make the
  // reminder fire again on every following tick.
  static_cast<void>(sound.playSync(std::string(kVoiceFileName)));
  state.ElapsedMinutes = 0;
}

}  // namespace tonvela
