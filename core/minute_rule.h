#pragma once

#include <string_view>

#include "core/reminder_state.h"
#include "core/voice_file.h"
#include "platform/clock.h"
#include "platform/sound_player.h"

namespace tonvela {

// Day hours are "08" to "17", compared as text like the hour texts they are.
bool isDayHour(std::string_view hourText);

// One minute has passed: count it and, when the count reaches the interval in force now, play
// the voice file to its end and start counting again. Raises the overflow error at a count of
// 32767 without changing anything.
void runMinuteTick(ReminderState& state, const Clock& clock, SoundPlayer& sound);

}  // namespace tonvela
