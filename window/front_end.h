#pragma once

#include <atomic>
#include <chrono>

namespace tonvela {

// What a front-end lends the window's engine (FormEngine): the few things only its toolkit can
// do. What the window does with them (when a tick runs, what a close does, what happens while the
// voice plays) is decided below, once for every front-end. Called on the window's thread, except
// wakePump().
class FrontEnd {
 public:
  // Runs the toolkit's events until `finished` is set, or until the program's event loop has been
  // told to end. Meanwhile the window paints and answers the window system, but no keyboard, mouse,
  // input method, drop or accessibility edit reaches the boxes: they stay as they were when the
  // wait began, with no press or unfinished input-method text left over from before it.
  virtual void pumpUntil(const std::atomic<bool>& finished) noexcept = 0;
  // From any thread, after setting the flag: a pumpUntil in progress looks at it again.
  virtual void wakePump() noexcept = 0;

  // Nothing could sound: the window's taskbar entry asks for the user's eye until it is looked at.
  virtual void askForAttention() = 0;

  // (Re)starts Timer1: a tick every `period` from now on; a zero period ticks as soon as the event
  // loop is free.
  virtual void startTimer1(std::chrono::milliseconds period) = 0;
  virtual void stopTimer1() = 0;

  // Ends the program with `status` once control is back in its event loop (also one that has not
  // started yet): the window goes first.
  virtual void endProgram(int status) = 0;

 protected:
  ~FrontEnd() = default;
};

}  // namespace tonvela
