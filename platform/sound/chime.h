#pragma once

#include "platform/sound/audio_source.h"

namespace tonvela {

// The sound played when neither the named file nor a desktop sound theme can be played: two
// soft bell tones, computed on the fly so the program needs no sound file of its own.
class Chime final : public AudioSource {
 public:
  static constexpr int kSampleRate = 44100;
  static constexpr std::int64_t kFrames = kSampleRate * 7 / 10;  // 0.7 s

  int sampleRate() const override { return kSampleRate; }
  int channels() const override { return 1; }
  std::int64_t frames() const override { return kFrames; }
  std::size_t read(float* out, std::size_t maxFrames) override;
  bool failed() const override { return false; }

  // The chime's sample at frame index (0 <= index < kFrames).
  static float sampleAt(std::int64_t index);

 private:
  std::int64_t position_ = 0;
};

}  // namespace tonvela
