#pragma once

#include <memory>

#include "platform/sound/audio_source.h"
#include "platform/sound/wave_format.h"
#include "platform/sound/winmm/win_sound_file.h"

namespace tonvela {

// Opens a WAVE file's sound: PCM and float converted here, every other format through the Audio
// Compression Manager (IMA and MS ADPCM, mu-law, A-law, GSM 6.10, and whatever further codecs the
// system has). Null when the file is no playable WAVE file.
std::unique_ptr<AudioSource> openWaveFileStream(HANDLE file);

}  // namespace tonvela
