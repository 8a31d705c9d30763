#pragma once

#include <filesystem>
#include <vector>

namespace tonvela::test {

// A 0.9 s pattern of 440 Hz bursts (lower in files below 1760 Hz) of different lengths: its energy
// envelope cannot be matched by a shifted, stretched, repeated or wrongly decoded copy of itself.
std::vector<float> toneBursts(int sampleRate);

// The energy envelope of the built-in chime that every player falls back to, and its length.
std::vector<double> chimeEnvelope();
double chimeSeconds();

// Writes mono samples to a sound file of the given libsndfile format; with channels > 1 every
// channel carries the samples at a lower level for each further channel.
void writeSound(const std::filesystem::path& path, int format, int sampleRate,
                const std::vector<float>& samples, int channels = 1);

// Reads a sound file and mixes it down to mono, for use as a reference.
std::vector<float> readMono(const std::filesystem::path& path, int* sampleRate);

// A fresh temporary directory, removed when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tonvela::test
