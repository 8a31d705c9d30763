#include "window/form_engine.h"

#include "window/event_boundary.h"

namespace tonvela {

FormEngine::FormEngine(const Clock& clock, SoundPlayer& sound, ErrorReport& errorReport,
                       FrontEnd& frontEnd, std::chrono::milliseconds tickPeriod)
    : frontEnd_(frontEnd),
      errorReport_(errorReport),
      voice_(sound, frontEnd),
      sound_(voice_, [this] { askForAttention(); }),
      reminder_(clock, sound_),
      tickPeriod_(tickPeriod) {}

void FormEngine::load() {
  deliver([this] { reminder_.Form_Load(); });
  if (!ending_) {
    frontEnd_.startTimer1(tickPeriod_);
  }
}

bool FormEngine::boxChanged(std::int16_t index, std::string_view text) {
  if (busy_) {
    return false;  // the reminder handles one event at a time, and a voice is no time for edits
  }
  deliver([&] { reminder_.Text1_Change(index, text); });
  return true;
}

// While the voice plays the event loop runs, but a tick must not: the reminder handles one event
// at a time. Ticks falling due meanwhile are dropped, and, as when a blocking call held the
// thread, they are not caught up: one overdue tick comes as soon as the voice has ended, and the
// period restarts from that moment. So a voice longer than a minute costs the minutes it covers
// except one, and the reminder never fires a burst of catch-up ticks.
void FormEngine::tick() {
  if (busy_ || ending_) {
    return;
  }
  if (overdueTick_) {
    overdueTick_ = false;
    frontEnd_.startTimer1(tickPeriod_);
  }
  const auto nextDue = std::chrono::steady_clock::now() + tickPeriod_;
  deliver([this] { reminder_.Timer1_Timer(); });
  if (!ending_ && std::chrono::steady_clock::now() >= nextDue) {
    overdueTick_ = true;
    frontEnd_.startTimer1(std::chrono::milliseconds(0));
  }
}

void FormEngine::close() {
  ending_ = true;
  frontEnd_.stopTimer1();
  voice_.stopForGood();
}

// Asked from within the tick that played, so a close that stopped the voice is already known.
void FormEngine::askForAttention() {
  if (!ending_) {
    frontEnd_.askForAttention();
  }
}

template <typename Handler>
void FormEngine::deliver(Handler&& handler) noexcept {
  busy_ = true;
  tonvela::deliver(
      ending_, errorReport_, handler, [this] { frontEnd_.stopTimer1(); },
      [this] { frontEnd_.endProgram(kUnhandledErrorExitStatus); });
  busy_ = false;
}

}  // namespace tonvela
