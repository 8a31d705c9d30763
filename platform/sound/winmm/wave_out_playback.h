#pragma once

#include <chrono>
#include <stop_token>

#include "platform/sound/audio_source.h"

namespace tonvela {

enum class WaveOutResult {
  Played,    // heard to its end
  Stopped,   // the caller asked to stop; the device was silenced
  NoDevice,  // no wave device accepted the format
  Failed,    // the stream could not be read or gave nothing, or the device stalled past the
             // deadline
};

// Plays stream on the default wave device (winmm's waveOut) and returns when the device has
// played the last buffer. Every wait is bounded: by the stream's announced length plus slack,
// and by stop, which ends the call within about 20 ms.
WaveOutResult playOnWaveOut(AudioSource& stream, std::stop_token stop,
                            std::chrono::milliseconds slack);

}  // namespace tonvela
