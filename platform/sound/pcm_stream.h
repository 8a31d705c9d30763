#pragma once

#include <cstddef>
#include <cstdint>

namespace tonvela {

// Signed 16-bit interleaved frames, produced a buffer at a time for the wave device.
class PcmStream {
 public:
  virtual ~PcmStream() = default;
  virtual int channels() const = 0;
  virtual std::uint32_t sampleRate() const = 0;
  // Length announced before playback; bounds the wait for the sound to end.
  virtual std::uint64_t frames() const = 0;
  // Fills up to maxFrames frames; 0 at the end or when reading failed.
  virtual std::size_t read(std::int16_t* out, std::size_t maxFrames) = 0;
  virtual bool failed() const = 0;
};

}  // namespace tonvela
