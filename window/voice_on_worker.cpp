#include "window/voice_on_worker.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <future>
#include <memory>
#include <thread>

namespace tonvela {
namespace {

// Shared by a call and its worker, which outlives the call when it is stuck and left behind.
struct Playback {
  std::stop_source stop;
  std::promise<bool> played;
  std::atomic<bool> finished = false;
};

// Neither joined nor destroyed: a worker stuck in a system call holds what it holds until the
// process is gone, and nothing that could wait for it (destructors, exit handlers) may run.
[[noreturn]] void endProcessNow(int status) {
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace

bool VoiceOnWorker::playSync(const std::string& fileName, std::stop_token stop) {
  if (closing_.stop_requested()) {
    return false;
  }
  auto playback = std::make_shared<Playback>();
  std::future<bool> played = playback->played.get_future();
  std::stop_callback stopOnClose(closing_.get_token(), [&] { playback->stop.request_stop(); });
  std::stop_callback stopOnCaller(stop, [&] { playback->stop.request_stop(); });
  std::thread worker([playback, fileName, &player = player_, &frontEnd = frontEnd_] {
    try {
      playback->played.set_value(player.playSync(fileName, playback->stop.get_token()));
    } catch (...) {
      playback->played.set_exception(std::current_exception());
    }
    playback->finished = true;
    frontEnd.wakePump();
  });
  frontEnd_.pumpUntil(playback->finished);
  if (!playback->finished) {
    // The event loop was told to end (the window was closed): the sound must not outlive the
    // program, so it is stopped rather than waited out.
    playback->stop.request_stop();
    if (played.wait_for(stopGrace_) != std::future_status::ready) {
      worker.detach();
      endProcessNow(0);  // a close ends the program with 0, stuck worker or not
    }
  }
  worker.join();
  return played.get();
}

}  // namespace tonvela
