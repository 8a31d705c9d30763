#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "core/reminder.h"
#include "platform/clock.h"
#include "platform/error_report.h"
#include "platform/sound_player.h"
#include "window/attention_on_silence.h"
#include "window/front_end.h"
#include "window/voice_on_worker.h"

namespace tonvela {

// The window Form14021 without its toolkit: what it does with its events, the voice and a close,
// the same under every front-end. It owns the reminder and hands it the three events of the
// design (load, a box's text changed, a tick), one at a time, each through the one event boundary.
// The voice plays on a worker while the window's thread pumps the front-end's events, and a close
// always wins: it stops Timer1 and the voice, and no reminder runs after it. The front-end draws
// the window, turns its toolkit's events into the calls below and lends the toolkit's pieces.
// Lives on the window's thread.
class FormEngine {
 public:
  static constexpr std::chrono::milliseconds kTickPeriod{60000};

  // A shorter tickPeriod is for tests and benchmarks only.
  FormEngine(const Clock& clock, SoundPlayer& sound, ErrorReport& errorReport, FrontEnd& frontEnd,
             std::chrono::milliseconds tickPeriod = kTickPeriod);

  // The window is loaded: Form_Load, then Timer1 starts, one period from now.
  void load();

  // The text of box Text1(index) changed to `text` (UTF-8). False when the edit came while the
  // reminder was busy with a tick (the voice plays) and was refused: the front-end puts the box
  // back as it was.
  bool boxChanged(std::int16_t index, std::string_view text);

  // A tick of Timer1.
  void tick();

  // The window is being closed, from the title bar, the keyboard, the session or a signal: Timer1
  // and the voice stop, and no tick, queued or not, runs the reminder again. The front-end lets
  // the close go on, which ends its event loop with status 0.
  void close();

  // True from a close or an error on: no event reaches the reminder any more.
  bool ending() const { return ending_; }
  const Reminder& reminder() const { return reminder_; }

 private:
  template <typename Handler>
  void deliver(Handler&& handler) noexcept;
  void askForAttention();

  FrontEnd& frontEnd_;
  ErrorReport& errorReport_;
  VoiceOnWorker voice_;
  AttentionOnSilence sound_;
  Reminder reminder_;
  const std::chrono::milliseconds tickPeriod_;
  bool ending_ = false;
  bool busy_ = false;         // a handler runs; while it plays the voice, events still come
  bool overdueTick_ = false;  // Timer1 was set to tick at once after a voice longer than a period
};

}  // namespace tonvela
