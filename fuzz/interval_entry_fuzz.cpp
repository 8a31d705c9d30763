// Feeds arbitrary box texts to the interval entry, keystroke by keystroke as a user would, and
// checks what must hold whatever is typed: no crash, no error leaving the entry, the intervals
// always within 1..32767, and the numeric test agreeing with the entry.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/interval_entry.h"
#include "platform/number_reading.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

bool isValidInterval(std::int16_t interval) { return interval >= 1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the box (any index, to reach the "other index" path too).
  const auto boxIndex = static_cast<std::int16_t>(static_cast<std::int8_t>(data[0]) % 3);
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  tonvela::ReminderState state;
  // Every prefix of the text, as the box shows it while it is being typed.
  for (std::size_t length = 0; length <= text.size(); ++length) {
    const std::string_view typed = text.substr(0, length);
    const auto requested = tonvela::requestedInterval(typed);
    check(!requested || tonvela::isNumeric(typed));
    tonvela::enterInterval(state, boxIndex, typed);
    check(isValidInterval(state.DayInterval) && isValidInterval(state.NightInterval));
    check(state.ElapsedMinutes == 0);
  }
  return 0;
}
