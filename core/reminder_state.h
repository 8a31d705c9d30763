#pragma once

#include <cstdint>

namespace tonvela {

// The reminder's whole state. It lives as long as the window and is never stored anywhere.
struct ReminderState {
  std::int16_t ElapsedMinutes = 0;  // ticks since load or since the last playback
  std::int16_t DayInterval = 15;    // minutes between playbacks from 08:00 to 17:59
  std::int16_t NightInterval = 25;  // minutes between playbacks at all other hours
};

// What the boxes show when the window opens; state and display agree from the start.
inline constexpr ReminderState kLoadState{};

}  // namespace tonvela
