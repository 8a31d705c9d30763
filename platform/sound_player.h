#pragma once

#include <string>

namespace tonvela {

// Plays a sound file and returns only when it has finished.
class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;

  // fileName is a bare name as the user knows it (no directory); the player decides where to look
  // and falls back to the desktop's default sound. Returns false when nothing could be played.
  virtual bool playSync(const std::string& fileName) = 0;
};

}  // namespace tonvela
