#pragma once

#include <chrono>
#include <stop_token>
#include <string>

#include "platform/sound/audio_source.h"
#include "platform/sound/pulse/pulse_sound_player.h"

namespace tonvela {

enum class PlaybackOutcome {
  Played,        // every sample reached the server and it reported the stream drained
  Unplayable,    // the sound's rate or channel count is one the server cannot take
  SourceFailed,  // the sound stopped before its announced end (truncated or damaged data)
  NoServer,      // no sound server could be reached
  ServerFailed,  // the server refused the stream or went away during playback
  TimedOut,      // the server stopped answering; gave up at the deadline
  Stopped,       // the caller asked to stop before the sound had ended
};

// Plays the source to the end through the PulseAudio protocol (also served by PipeWire) and
// returns when the server reports it drained. Runs a private main loop in the calling thread;
// every wait in it is bounded by the options' limits. mediaName is what the desktop mixer shows.
// A stop requested through `stop` wakes the loop at once, from any thread.
PlaybackOutcome playThroughPulse(AudioSource& source, const std::string& mediaName,
                                 const PulseOptions& options, std::stop_token stop = {});

// True when the rate is within the playable range and libpulse accepts a float stream of this
// rate and channel count. libpulse aborts the process on some invalid specs, so this is checked
// before any stream is made.
bool pulseCanTake(int sampleRate, int channels);

}  // namespace tonvela
