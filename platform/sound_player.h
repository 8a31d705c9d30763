#pragma once

#include <stop_token>
#include <string>

namespace tonvela {

// Plays a sound file and returns only when it has finished.
class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;

  // fileName is a bare name as the user knows it (no directory); the player decides where to look
  // and falls back to the desktop's default sound. Returns false when nothing could be played.
  // A stop requested through `stop` (from any thread) ends the playback within 100 ms; the call
  // then returns false and plays nothing in its place.
  virtual bool playSync(const std::string& fileName, std::stop_token stop) = 0;

  bool playSync(const std::string& fileName) { return playSync(fileName, std::stop_token{}); }
};

}  // namespace tonvela
