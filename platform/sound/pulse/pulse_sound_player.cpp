#include "platform/sound/pulse/pulse_sound_player.h"

#include <memory>

#include "platform/program_identity.h"
#include "platform/sound/chime.h"
#include "platform/sound/pulse/pulse_playback.h"
#include "platform/sound/pulse/regular_file.h"
#include "platform/sound/pulse/sound_decoder.h"
#include "platform/sound/pulse/sound_file_lookup.h"
#include "platform/sound/pulse/sound_theme.h"

namespace tonvela {
namespace {

// Outcomes after which no other sound is tried: the sound server itself is unusable (trying
// another sound would only wait on it again), or the caller stopped the playback.
bool endsTheCall(PlaybackOutcome outcome) {
  return outcome == PlaybackOutcome::NoServer || outcome == PlaybackOutcome::ServerFailed ||
         outcome == PlaybackOutcome::TimedOut || outcome == PlaybackOutcome::Stopped;
}

// The file's sound, if it is one the server can be given: decoded, at a playable rate and
// channel count, and at least one frame long.
std::unique_ptr<SoundDecoder> decodePlayable(int fd) {
  auto decoder = SoundDecoder::open(fd);
  if (!decoder || !pulseCanTake(decoder->sampleRate(), decoder->channels()) ||
      decoder->frames() <= 0) {
    return nullptr;
  }
  return decoder;
}

}  // namespace

PulseSoundPlayer::PulseSoundPlayer() : PulseSoundPlayer(Options{}) {}

PulseSoundPlayer::PulseSoundPlayer(Options options) : options_(std::move(options)) {}

bool PulseSoundPlayer::playSync(const std::string& fileName, std::stop_token stop) {
  PlaybackOutcome outcome = playNamedFile(fileName, stop);
  if (outcome == PlaybackOutcome::Played) {
    return true;
  }
  if (endsTheCall(outcome)) {
    return false;
  }
  return playDefaultSound(stop) == PlaybackOutcome::Played;
}

PlaybackOutcome PulseSoundPlayer::playNamedFile(const std::string& fileName, std::stop_token stop) {
  // Looked up and opened afresh at each call, so the user may replace the file at any time. A
  // file that cannot be played (garbage in the current folder, say) must not hide a good one
  // further on, so the first candidate that decodes to a playable sound is the one played.
  // The folders are worked out here rather than when the player is made, which is at start-up:
  // the window should not wait for the file system, nor pay in memory for paths it has no use
  // for until the first reminder.
  const std::vector<std::filesystem::path> dirs =
      options_.searchDirs.empty() ? defaultSoundSearchDirs() : options_.searchDirs;
  SoundFileCandidates candidates(fileName, dirs);
  for (UniqueFd fd = candidates.next(); fd.valid(); fd = candidates.next()) {
    if (auto decoder = decodePlayable(fd.get())) {
      return playThroughPulse(*decoder, fileName, options_, stop);
    }
  }
  return PlaybackOutcome::Unplayable;
}

PlaybackOutcome PulseSoundPlayer::playDefaultSound(std::stop_token stop) {
  PlaybackOutcome outcome = playThemeSound(stop);
  if (outcome == PlaybackOutcome::Played || endsTheCall(outcome)) {
    return outcome;
  }
  Chime chime;
  return playThroughPulse(chime, std::string(kProgramName) + " chime", options_, stop);
}

PlaybackOutcome PulseSoundPlayer::playThemeSound(std::stop_token stop) {
  auto dataDirs = options_.themeDataDirs.value_or(xdgDataDirsFromEnvironment());
  auto path = findThemeSound(dataDirs);
  if (!path) {
    return PlaybackOutcome::Unplayable;
  }
  UniqueFd fd = openRegularFile(*path);
  if (!fd.valid()) {
    return PlaybackOutcome::Unplayable;
  }
  return playFromDescriptor(fd.get(), path->filename().string(), stop);
}

PlaybackOutcome PulseSoundPlayer::playFromDescriptor(int fd, const std::string& mediaName,
                                                     std::stop_token stop) {
  auto decoder = decodePlayable(fd);
  if (!decoder) {
    return PlaybackOutcome::Unplayable;
  }
  return playThroughPulse(*decoder, mediaName, options_, stop);
}

}  // namespace tonvela
