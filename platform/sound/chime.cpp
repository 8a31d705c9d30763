#include "platform/sound/chime.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tonvela {
namespace {

// One struck tone: a sine with a 5 ms attack (no click) and an exponential decay.
float bellTone(double t, double frequency, double decayPerSecond) {
  if (t < 0.0) {
    return 0.0F;
  }
  double attack = std::min(1.0, t / 0.005);
  double envelope = attack * std::exp(-decayPerSecond * t);
  return static_cast<float>(envelope * std::sin(2.0 * std::numbers::pi * frequency * t));
}

}  // namespace

float Chime::sampleAt(std::int64_t index) {
  double t = static_cast<double>(index) / kSampleRate;
  // E6 then C6, the second struck 0.25 s after the first; the sum stays below 0.5.
  return 0.25F * bellTone(t, 1318.5, 6.0) + 0.25F * bellTone(t - 0.25, 1046.5, 7.0);
}

std::size_t Chime::read(float* out, std::size_t maxFrames) {
  auto count = static_cast<std::size_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(maxFrames), kFrames - position_));
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = sampleAt(position_ + static_cast<std::int64_t>(i));
  }
  position_ += static_cast<std::int64_t>(count);
  return count;
}

}  // namespace tonvela
