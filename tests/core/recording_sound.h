#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sound_player.h"

namespace tonvela::testing {

// Records each playback instead of making a sound; can be told to fail or to run code while
// "playing", so a test can look at the state mid-playback.
class RecordingSound final : public SoundPlayer {
 public:
  bool playSync(const std::string& fileName) override {
    played.push_back(fileName);
    if (whilePlaying) whilePlaying();
    return succeeds;
  }

  std::vector<std::string> played;
  bool succeeds = true;
  std::function<void()> whilePlaying;
};

}  // namespace tonvela::testing
