#pragma once

#include <functional>
#include <stop_token>
#include <string>

#include "platform/sound_player.h"

namespace tonvela::qt {

// Keeps the window alive while a sound plays. To the caller playSync still blocks until the
// sound has ended, but the real player runs on a worker thread while the GUI thread waits in a
// local event loop: the window repaints and answers the window system, and a close is seen at
// once. Keyboard and mouse input arriving meanwhile is dropped, so nothing reaches the boxes
// while the voice plays. Lives on the GUI thread.
class ResponsiveSound final : public SoundPlayer {
 public:
  explicit ResponsiveSound(SoundPlayer& player) : player_(player) {}
  ~ResponsiveSound() override { stopForGood(); }
  ResponsiveSound(const ResponsiveSound&) = delete;
  ResponsiveSound& operator=(const ResponsiveSound&) = delete;

  using SoundPlayer::playSync;
  // Errors raised by the real player are raised here again, on the caller's thread.
  bool playSync(const std::string& fileName, std::stop_token stop) override;

  // Ends the playback in progress within the player's stop time; later calls play nothing.
  void stopForGood() { closing_.request_stop(); }

  // Told on the GUI thread when a playback ended with nothing heard although no one stopped it:
  // no sound server, or no file and no default sound it could play.
  std::function<void()> onNothingPlayed;

 private:
  bool playOnWorker(const std::string& fileName, std::stop_source& playbackStop);

  SoundPlayer& player_;
  std::stop_source closing_;
};

}  // namespace tonvela::qt
