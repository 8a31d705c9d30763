#include "core/interval_entry.h"

#include "platform/number_reading.h"
#include "platform/runtime_error.h"

namespace tonvela {

std::optional<std::int16_t> requestedInterval(std::string_view boxText) {
  const std::optional<double> value = readNumber(boxText);
  // The bound applies before rounding: 0.6 would round to 1 but is not a usable interval.
  if (!value || !(*value >= 1.0)) return std::nullopt;
  try {
    return toInt16(*value);
  } catch (const RuntimeError& error) {
    // A number too large for the box is unusable text like any other, not a reason to end the
    // program while the user is typing.
    if (error.number() == ErrorNumber::Overflow) return std::nullopt;
    throw;
  }
}

void enterInterval(ReminderState& state, std::int16_t boxIndex, std::string_view boxText) {
  std::int16_t* target = nullptr;
  if (boxIndex == 0) target = &state.DayInterval;
  if (boxIndex == 1) target = &state.NightInterval;
  if (target == nullptr) return;
  if (const auto interval = requestedInterval(boxText)) *target = *interval;
}

}  // namespace tonvela
