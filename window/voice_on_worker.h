#pragma once

#include <chrono>
#include <stop_token>
#include <string>

#include "platform/sound_player.h"
#include "window/front_end.h"

namespace tonvela {

// Keeps the window alive while a sound plays. To the caller playSync still blocks until the sound
// has ended, but the real player runs on a worker thread while the window's thread waits in the
// front-end's pump: the window repaints and answers the window system, user input is dropped, and
// a close is seen at once. Errors raised by the real player are raised again on the caller's
// thread. Lives on the window's thread.
class VoiceOnWorker final : public SoundPlayer {
 public:
  // A stopped player ends within 100 ms; one that has not ended by this long after the stop is
  // stuck in a system call (a hung read) and is not waited for.
  static constexpr std::chrono::milliseconds kStopGrace{500};

  VoiceOnWorker(SoundPlayer& player, FrontEnd& frontEnd,
                std::chrono::milliseconds stopGrace = kStopGrace)
      : player_(player), frontEnd_(frontEnd), stopGrace_(stopGrace) {}
  ~VoiceOnWorker() override { stopForGood(); }
  VoiceOnWorker(const VoiceOnWorker&) = delete;
  VoiceOnWorker& operator=(const VoiceOnWorker&) = delete;

  using SoundPlayer::playSync;
  // When the program's event loop is told to end during the voice (the window was closed), the
  // voice is stopped; a worker that does not end within the grace after the stop ends the process
  // at once, with status 0, rather than keep a closed program alive.
  bool playSync(const std::string& fileName, std::stop_token stop) override;

  // Ends the playback in progress within the player's stop time; later calls play nothing.
  void stopForGood() { closing_.request_stop(); }

 private:
  SoundPlayer& player_;
  FrontEnd& frontEnd_;
  const std::chrono::milliseconds stopGrace_;
  std::stop_source closing_;
};

}  // namespace tonvela
