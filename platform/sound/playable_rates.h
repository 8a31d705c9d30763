#pragma once

#include <cstdint>

namespace tonvela {

// The sample rates a voice may have, on every platform. Below them is no sound anyone recorded
// to be heard (a few hundred kilobytes at 1 Hz would hold a reminder for days); above them is
// beyond what sound devices and the desktop's mixers take. Such files are refused like any
// unplayable file, before a device or stream is opened.
inline constexpr std::int64_t kLowestPlayableRate = 1000;
inline constexpr std::int64_t kHighestPlayableRate = 384000;

constexpr bool isPlayableRate(std::int64_t rate) {
  return rate >= kLowestPlayableRate && rate <= kHighestPlayableRate;
}

}  // namespace tonvela
