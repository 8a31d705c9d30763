#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "window/front_end.h"

namespace tonvela::fakes {

// The toolkit's side of the window, as a test plays it. Its pump first runs the events the test
// queued for "while the voice plays" (a tick, an edit, a close), as a toolkit's event loop would
// deliver them, then waits for the worker's wake, or returns at once once the test has ended the
// event loop, as a toolkit's loop returns when the application quits.
class FakeFrontEnd final : public FrontEnd {
 public:
  using Event = std::function<void()>;

  void pumpUntil(const std::atomic<bool>& finished) noexcept override {
    ++pumps;
    pumpThread = std::this_thread::get_id();
    for (const Event& event : std::exchange(duringVoice, {})) {
      event();
    }
    std::unique_lock lock(mutex_);
    woken_.wait(lock, [&] { return finished.load() || loopEnded; });
  }
  void wakePump() noexcept override {
    { const std::lock_guard lock(mutex_); }  // a pump between its check and its wait is not missed
    woken_.notify_all();
  }
  void askForAttention() override { ++attentionAsked; }
  void startTimer1(std::chrono::milliseconds period) override {
    timerStarts.push_back(period);
    timerRunning = true;
  }
  void stopTimer1() override { timerRunning = false; }
  void endProgram(int status) override { endedWith = status; }

  // Queued by the test, run by the next pump.
  std::vector<Event> duringVoice;
  // The toolkit's event loop was told to end (the application quits): pumps return at once.
  bool loopEnded = false;

  int pumps = 0;
  std::thread::id pumpThread;
  int attentionAsked = 0;
  std::vector<std::chrono::milliseconds> timerStarts;
  bool timerRunning = false;
  std::optional<int> endedWith;

 private:
  std::mutex mutex_;
  std::condition_variable woken_;
};

}  // namespace tonvela::fakes
