#pragma once

#include <string_view>

#include "clock.h"
#include "reminder_state.h"
#include "sound_player.h"

namespace tonvela {

// The voice file, as a bare name: the sound player decides where it is found.
inline constexpr std::string_view kVoiceFileName = "语音文件.WAV";

// Day hours are "08" to "17", compared as text like the hour texts they are.
bool isDayHour(std::string_view hourText);

// One minute has passed: count it and, when the count reaches the interval in force now, play
// the voice file to its end and start counting again. Raises the overflow error at a count of
// 32767 without changing anything.
void runMinuteTick(ReminderState& state, const Clock& clock, SoundPlayer& sound);

}  // namespace tonvela
