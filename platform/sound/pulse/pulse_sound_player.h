#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/sound_player.h"

namespace tonvela {

enum class PlaybackOutcome;

// Everything a Pulse playback can be told. Defaults are what the program uses; tests narrow
// them by name: PulseOptions{.searchDirs = {dir}, .deadlineSlack = 500ms}.
struct PulseOptions {
  // Where a bare name is looked for; empty: the current folder, each XDG data folder's tonvela/,
  // then the program's own folder, as the environment has them at each playback.
  std::vector<std::filesystem::path> searchDirs;
  // Base directories of the sound theme lookup; unset: from $XDG_DATA_HOME and $XDG_DATA_DIRS.
  // An empty list skips the theme and goes straight to the built-in chime.
  std::optional<std::vector<std::filesystem::path>> themeDataDirs;
  // Empty: libpulse's usual lookup ($PULSE_SERVER, then the user's own server socket).
  std::string serverAddress;
  // How long after the sound's own length the call waits before giving up.
  std::chrono::milliseconds deadlineSlack{3000};
  // Reaching the server and having the stream accepted may take at most this long.
  std::chrono::milliseconds connectTimeout{2000};
};

// Plays a sound file to its end through the desktop's PulseAudio (or PipeWire) server, in the
// calling thread, with every wait bounded. A file that is missing or cannot be played is replaced
// by the desktop's default sound, or by a built-in chime where no sound theme is installed.
class PulseSoundPlayer final : public SoundPlayer {
 public:
  using Options = PulseOptions;

  PulseSoundPlayer();
  explicit PulseSoundPlayer(Options options);

  using SoundPlayer::playSync;
  // True when the file, or the default sound standing in for it, played to its end.
  bool playSync(const std::string& fileName, std::stop_token stop) override;

 private:
  PlaybackOutcome playNamedFile(const std::string& fileName, std::stop_token stop);
  PlaybackOutcome playDefaultSound(std::stop_token stop);
  PlaybackOutcome playThemeSound(std::stop_token stop);
  PlaybackOutcome playFromDescriptor(int fd, const std::string& mediaName, std::stop_token stop);

  Options options_;
};

}  // namespace tonvela
