#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/sound_player.h"

namespace tonvela::fakes {

// Records each playback instead of making a sound. A test can make it fail, tell it which tick
// a playback came on, and run code while "playing": look at the state mid-playback, take time,
// or raise an error.
class RecordingSound final : public SoundPlayer {
 public:
  using Clock = std::chrono::steady_clock;

  struct Play {
    std::string fileName;
    int tick = 0;  // from currentTick, when the test sets it
    Clock::time_point start;
    Clock::time_point end;
  };

  using SoundPlayer::playSync;
  bool playSync(const std::string& fileName, std::stop_token) override {
    Play play{fileName, currentTick ? currentTick() : 0, Clock::now(), {}};
    if (whilePlaying) whilePlaying(static_cast<int>(plays.size()));
    play.end = Clock::now();
    plays.push_back(play);
    return succeeds;
  }

  std::vector<std::string> fileNames() const {
    std::vector<std::string> names;
    for (const Play& play : plays) names.push_back(play.fileName);
    return names;
  }

  std::vector<Play> plays;
  bool succeeds = true;
  std::function<int()> currentTick;
  std::function<void(int playIndex)> whilePlaying;
};

}  // namespace tonvela::fakes
