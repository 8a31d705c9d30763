#include "platform/sound/pulse_sound_player.h"

#include "chime.h"
#include "pulse_playback.h"
#include "sound_decoder.h"
#include "sound_file_lookup.h"
#include "sound_theme.h"

namespace tonvela {
namespace {

// Outcomes that say the sound server itself is unusable: trying another sound would only wait
// on it again.
bool serverUnusable(PlaybackOutcome outcome) {
  return outcome == PlaybackOutcome::NoServer || outcome == PlaybackOutcome::ServerFailed ||
         outcome == PlaybackOutcome::TimedOut;
}

}  // namespace

PulseSoundPlayer::PulseSoundPlayer() : PulseSoundPlayer(Options{}) {}

PulseSoundPlayer::PulseSoundPlayer(Options options) : options_(std::move(options)) {
  if (options_.searchDirs.empty()) {
    options_.searchDirs = defaultSoundSearchDirs();
  }
}

bool PulseSoundPlayer::playSync(const std::string& fileName) {
  PlaybackOutcome outcome = playNamedFile(fileName);
  if (outcome == PlaybackOutcome::Played) {
    return true;
  }
  if (serverUnusable(outcome)) {
    return false;
  }
  return playDefaultSound() == PlaybackOutcome::Played;
}

PlaybackOutcome PulseSoundPlayer::playNamedFile(const std::string& fileName) {
  // Looked up and opened afresh at each call, so the user may replace the file at any time.
  UniqueFd fd = openSoundFile(fileName, options_.searchDirs);
  if (!fd.valid()) {
    return PlaybackOutcome::Unplayable;
  }
  return playFromDescriptor(fd.get(), fileName);
}

PlaybackOutcome PulseSoundPlayer::playDefaultSound() {
  PlaybackOutcome outcome = playThemeSound();
  if (outcome == PlaybackOutcome::Played || serverUnusable(outcome)) {
    return outcome;
  }
  Chime chime;
  return playThroughPulse(chime, "Tonvela chime", options_);
}

PlaybackOutcome PulseSoundPlayer::playThemeSound() {
  auto dataDirs = options_.themeDataDirs.value_or(xdgDataDirsFromEnvironment());
  auto path = findThemeSound(dataDirs);
  if (!path) {
    return PlaybackOutcome::Unplayable;
  }
  UniqueFd fd = openRegularFile(*path);
  if (!fd.valid()) {
    return PlaybackOutcome::Unplayable;
  }
  return playFromDescriptor(fd.get(), path->filename().string());
}

PlaybackOutcome PulseSoundPlayer::playFromDescriptor(int fd, const std::string& mediaName) {
  auto decoder = SoundDecoder::open(fd);
  if (!decoder) {
    return PlaybackOutcome::Unplayable;
  }
  return playThroughPulse(*decoder, mediaName, options_);
}

}  // namespace tonvela
