#pragma once

#include <memory>

#include "pcm_stream.h"
#include "wave_format.h"
#include "win_sound_file.h"

namespace tonvela {

// Opens a WAVE file's sound as 16-bit frames: PCM and float converted here, every other format
// through the Audio Compression Manager (IMA and MS ADPCM, mu-law, A-law, GSM 6.10, and whatever
// further codecs the system has). Null when the file is no playable WAVE file.
std::unique_ptr<PcmStream> openWaveFileStream(HANDLE file);

}  // namespace tonvela
