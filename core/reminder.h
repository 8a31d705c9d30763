#pragma once

#include <cstdint>
#include <string_view>

#include "core/reminder_state.h"
#include "platform/clock.h"
#include "platform/sound_player.h"

namespace tonvela {

// The reminder's handlers, one per event the window delivers. The window owns one of these for
// its lifetime and calls it on its own thread, one event at a time.
class Reminder {
 public:
  Reminder(const Clock& clock, SoundPlayer& sound) : clock_(clock), sound_(sound) {}

  // The window has loaded: every start begins from the same values.
  void Form_Load() { state_ = kLoadState; }

  // A minute of Timer1 has passed. May block while the voice plays; may raise RuntimeError.
  void Timer1_Timer();

  // The text of box Text1(index) has changed to boxText (UTF-8).
  void Text1_Change(std::int16_t index, std::string_view boxText);

  const ReminderState& state() const { return state_; }

 private:
  const Clock& clock_;
  SoundPlayer& sound_;
  ReminderState state_ = kLoadState;
};

}  // namespace tonvela
