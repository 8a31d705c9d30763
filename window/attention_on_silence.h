#pragma once

#include <functional>
#include <stop_token>
#include <string>
#include <utility>

#include "platform/sound_player.h"

namespace tonvela {

// Passes playback on; when nothing at all could sound (no sound server, no file and no default
// sound it could play) and no one stopped it, asks for the user's eye instead, so a reminder that
// could not be heard is still seen. A stopped playback was asked for, not missed.
class AttentionOnSilence final : public SoundPlayer {
 public:
  AttentionOnSilence(SoundPlayer& player, std::function<void()> askForAttention)
      : player_(player), askForAttention_(std::move(askForAttention)) {}

  using SoundPlayer::playSync;
  bool playSync(const std::string& fileName, std::stop_token stop) override {
    const bool played = player_.playSync(fileName, stop);
    if (!played && !stop.stop_requested()) {
      askForAttention_();
    }
    return played;
  }

 private:
  SoundPlayer& player_;
  std::function<void()> askForAttention_;
};

}  // namespace tonvela
