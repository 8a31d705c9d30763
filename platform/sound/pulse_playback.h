#pragma once

#include <chrono>
#include <stop_token>
#include <string>

#include "audio_source.h"
#include "platform/sound/pulse_sound_player.h"

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

// Rates outside these are no sound anyone recorded to be heard: a few hundred kilobytes at 1 Hz
// would hold the call for days. Such files are refused like any unplayable file.
inline constexpr int kLowestPlayableRate = 1000;
inline constexpr int kHighestPlayableRate = 768000;

}  // namespace tonvela
