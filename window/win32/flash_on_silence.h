#pragma once

#include <windows.h>

#include "platform/sound_player.h"

namespace tonvela::win32 {

// Passes playback on to the real player; when nothing at all could be played, the taskbar
// button flashes, so a reminder that could not be heard is still seen.
class FlashOnSilence final : public SoundPlayer {
 public:
  explicit FlashOnSilence(SoundPlayer& player) : player_(player) {}
  void setWindow(HWND window) { window_ = window; }

  using SoundPlayer::playSync;
  bool playSync(const std::string& fileName, std::stop_token stop) override {
    const bool played = player_.playSync(fileName, stop);
    // A stopped playback was asked for, not missed: nothing to call attention to.
    if (!played && !stop.stop_requested() && window_ != nullptr) {
      FLASHWINFO flash{};
      flash.cbSize = sizeof flash;
      flash.hwnd = window_;
      flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;  // until the user brings the window up
      FlashWindowEx(&flash);
    }
    return played;
  }

 private:
  SoundPlayer& player_;
  HWND window_ = nullptr;
};

}  // namespace tonvela::win32
