#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace tonvela::test {

// Records the test sink's monitor with parecord at kRate for as long as it lives, and hands back
// the average of its two channels. It returns from its constructor only once data is flowing, so
// nothing played afterwards is missed.
//
// The monitor is recorded in the sink's own layout (stereo) and mixed down here rather than by
// the server: servers disagree on the downmix (PulseAudio averages the channels, PipeWire adds
// them at -3 dB each, so a mono sound comes back 3 dB louder), and the level must be the sound's.
class SinkRecorder {
 public:
  static constexpr int kRate = 16000;

  // server: a PulseAudio address, or empty for $PULSE_SERVER.
  explicit SinkRecorder(std::string server = {});
  ~SinkRecorder();
  SinkRecorder(const SinkRecorder&) = delete;
  SinkRecorder& operator=(const SinkRecorder&) = delete;

  // Stops recording and returns the samples in -1..1.
  std::vector<float> stop();

  // When the first samples came: where the recording's position 0 stands on the steady clock.
  std::chrono::steady_clock::time_point startedAt() const { return firstData_; }

  // After stop(): how much shorter the recording is than the time it ran.
  double shortfallSeconds() const { return shortfallSeconds_; }

 private:
  std::chrono::steady_clock::time_point firstData_;
  double shortfallSeconds_ = 0.0;
  std::filesystem::path file_;
  pid_t pid_ = -1;
};

// Root-mean-square level of each 10 ms window.
std::vector<double> energyEnvelope(const std::vector<float>& samples, int sampleRate);

struct EnvelopeMatch {
  double correlation = 0.0;  // Pearson correlation of the envelopes at the best alignment
  std::size_t offset = 0;    // window of the recording where the reference starts
  double gain = 0.0;         // recorded level over reference level at that alignment
  double strayLevel = 0.0;   // loudest recorded window outside the match, over the peak inside it
};

// Slides the reference envelope over the recording's and reports the best alignment.
EnvelopeMatch matchEnvelope(const std::vector<double>& recording,
                            const std::vector<double>& reference);

// What a recording must show to hold a sound as it was played: its shape, at about its own level
// (unless the server mixed it down by its own rule), and nothing else.
struct HeardLimits {
  double minCorrelation = 0.9;
  bool judgeGain = true;
  double minGain = 0.5;
  double maxGain = 1.5;
  double maxStray = 0.1;
};

bool heardWithin(const EnvelopeMatch& match, const HeardLimits& limits);

// Runs playAndRecord (which returns something with the recording's `envelope`); when the
// recording misses any of the limits, runs it once more and returns that. A recording misses a
// block now and then that no player caused (parecord on a PipeWire monitor, Wine's audio thread
// starved of the machine's two cores), while a fault of the player shows on both tries.
template <typename PlayAndRecord>
auto recordMatching(PlayAndRecord playAndRecord, const std::vector<double>& expected,
                    const HeardLimits& limits = {}) {
  auto played = playAndRecord();
  const EnvelopeMatch match = matchEnvelope(played.envelope, expected);
  if (heardWithin(match, limits)) {
    return played;
  }
  std::printf("recording missed (correlation %.3f, gain %.3f, stray level %.3f): playing once more\n",
              match.correlation, match.gain, match.strayLevel);
  return playAndRecord();
}

}  // namespace tonvela::test
