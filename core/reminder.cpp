#include "core/reminder.h"

#include "core/interval_entry.h"
#include "core/minute_rule.h"

namespace tonvela {

void Reminder::Timer1_Timer() { runMinuteTick(state_, clock_, sound_); }

void Reminder::Text1_Change(std::int16_t index, std::string_view boxText) {
  enterInterval(state_, index, boxText);
}

}  // namespace tonvela
