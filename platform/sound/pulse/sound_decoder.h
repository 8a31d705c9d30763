#pragma once

#include <sndfile.h>

#include <memory>

#include "platform/sound/audio_source.h"

namespace tonvela {

// Reads a sound file through libsndfile (every WAV encoding it knows, and whatever else it
// reads), streamed chunk by chunk from an already opened descriptor.
class SoundDecoder final : public AudioSource {
 public:
  // Reads through a duplicate of fd, which the caller keeps and may close at any time. Returns
  // nullptr when the data is not a sound libsndfile can read.
  static std::unique_ptr<SoundDecoder> open(int fd);

  ~SoundDecoder() override;
  SoundDecoder(const SoundDecoder&) = delete;
  SoundDecoder& operator=(const SoundDecoder&) = delete;

  int sampleRate() const override { return info_.samplerate; }
  int channels() const override { return info_.channels; }
  std::int64_t frames() const override { return info_.frames; }
  std::size_t read(float* out, std::size_t maxFrames) override;
  bool failed() const override { return failed_; }

 private:
  SoundDecoder(SNDFILE* file, const SF_INFO& info) : file_(file), info_(info) {}

  SNDFILE* file_;
  SF_INFO info_;
  std::int64_t framesRead_ = 0;
  bool failed_ = false;
};

}  // namespace tonvela
