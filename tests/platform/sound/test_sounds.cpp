#include "tests/platform/sound/test_sounds.h"

#include <sndfile.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <cstdint>
#include <stdexcept>

#include "platform/sound/chime.h"
#include "tests/platform/sound/sink_recorder.h"

namespace tonvela::test {

std::vector<double> chimeEnvelope() {
  std::vector<float> samples;
  for (std::int64_t i = 0; i < Chime::kFrames; ++i) {
    samples.push_back(Chime::sampleAt(i));
  }
  return energyEnvelope(samples, Chime::kSampleRate);
}

double chimeSeconds() { return static_cast<double>(Chime::kFrames) / Chime::kSampleRate; }

std::vector<float> toneBursts(int sampleRate) {
  struct Segment {
    int milliseconds;
    bool on;
  };
  constexpr std::array kPattern{Segment{150, true},  Segment{100, false}, Segment{300, true},
                                Segment{120, false}, Segment{180, true},  Segment{50, false}};
  // 440 Hz, or a quarter of the rate in files too slow for it: a tone near half the rate lies in
  // the band a server's resampler is allowed to cut, and the test would judge the resampler.
  const double frequency = std::min(440.0, sampleRate / 4.0);
  std::vector<float> samples;
  for (const auto& segment : kPattern) {
    auto count = static_cast<std::size_t>(sampleRate) * segment.milliseconds / 1000;
    for (std::size_t i = 0; i < count; ++i) {
      double t = static_cast<double>(samples.size()) / sampleRate;
      samples.push_back(
          segment.on ? static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * frequency * t))
                     : 0.0F);
    }
  }
  return samples;
}

void writeSound(const std::filesystem::path& path, int format, int sampleRate,
                const std::vector<float>& samples, int channels) {
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    throw std::runtime_error("cannot write " + path.string() + ": " + sf_strerror(nullptr));
  }
  std::vector<float> frame(static_cast<std::size_t>(channels));
  for (float sample : samples) {
    for (int c = 0; c < channels; ++c) {
      frame[static_cast<std::size_t>(c)] = sample / static_cast<float>(c + 1);
    }
    sf_writef_float(file, frame.data(), 1);
  }
  sf_close(file);
}

std::vector<float> readMono(const std::filesystem::path& path, int* sampleRate) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    throw std::runtime_error("cannot read " + path.string());
  }
  std::vector<float> frame(static_cast<std::size_t>(info.channels));
  std::vector<float> mono;
  while (sf_readf_float(file, frame.data(), 1) == 1) {
    float sum = 0;
    for (float value : frame) {
      sum += value;
    }
    mono.push_back(sum / static_cast<float>(info.channels));
  }
  sf_close(file);
  *sampleRate = info.samplerate;
  return mono;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tonvela-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

}  // namespace tonvela::test
