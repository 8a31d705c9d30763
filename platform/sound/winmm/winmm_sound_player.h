#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/sound_player.h"

namespace tonvela {

// Plays a WAVE file to its end through winmm's waveOut, in the calling thread, with every wait
// bounded. Of the files under the name in the folders searched, the first that opens as a sound
// plays; where none does, the user's default sound (the ".Default" sound event) plays instead,
// and where that fails too a built-in chime.
class WinmmSoundPlayer final : public SoundPlayer {
 public:
  // Defaults are what the program uses; tests narrow them.
  struct Options {
    // Where a bare name is looked for; unset: the current folder, %APPDATA%\Tonvela, the
    // program's folder.
    std::optional<std::vector<std::wstring>> searchDirs;
    // False skips the user's default sound, going straight to the chime.
    bool useDefaultSound = true;
    // How long after the sound's own length the call waits before giving up on the device.
    std::chrono::milliseconds deadlineSlack{3000};
  };

  WinmmSoundPlayer() = default;
  explicit WinmmSoundPlayer(Options options) : options_(std::move(options)) {}

  using SoundPlayer::playSync;
  // True when the file, or the sound standing in for it, played to its end. A stop silences the
  // device at once; the call then returns false and plays nothing in its place.
  bool playSync(const std::string& fileName, std::stop_token stop) override;

 private:
  Options options_;
};

}  // namespace tonvela
