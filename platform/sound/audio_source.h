#pragma once

#include <cstddef>
#include <cstdint>

namespace tonvela {

// Float samples in -1..1, interleaved, produced a chunk at a time so a sound of any length
// needs only as much memory as the chunk being handed to the server.
class AudioSource {
 public:
  virtual ~AudioSource() = default;

  virtual int sampleRate() const = 0;
  virtual int channels() const = 0;
  // Total length in frames as announced before playback; bounds the wait for the sound to end.
  virtual std::int64_t frames() const = 0;

  // Fills up to maxFrames frames into out (room for maxFrames * channels() floats) and returns
  // how many it wrote; 0 means the sound has ended or can no longer be read.
  virtual std::size_t read(float* out, std::size_t maxFrames) = 0;

  // True when reading stopped early (a truncated or damaged file), false at a normal end.
  virtual bool failed() const = 0;
};

}  // namespace tonvela
