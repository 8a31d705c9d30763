#include "reminder.h"

#include "interval_entry.h"
#include "minute_rule.h"

namespace tonvela {

void Reminder::Timer1_Timer() { runMinuteTick(state_, clock_, sound_); }

void Reminder::Text1_Change(std::int16_t index, std::string_view boxText) {
  enterInterval(state_, index, boxText);
}

}  // namespace tonvela
