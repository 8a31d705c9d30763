#pragma once

#include <string_view>

namespace tonvela {

// The voice file, as a bare name: the sound player decides where it is found.
inline constexpr std::string_view kVoiceFileName = "语音文件.WAV";

}  // namespace tonvela
