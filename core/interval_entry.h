#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/reminder_state.h"

namespace tonvela {

// The interval that a box's text asks for, or nothing when the text is unusable: not a number,
// below 1, or too large for 16 bits. Exact halves round to the even neighbour.
std::optional<std::int16_t> requestedInterval(std::string_view boxText);

// Box 0 feeds the day interval and box 1 the night interval; any other index does nothing.
// Unusable text leaves the interval as it was, without a message.
void enterInterval(ReminderState& state, std::int16_t boxIndex, std::string_view boxText);

}  // namespace tonvela
