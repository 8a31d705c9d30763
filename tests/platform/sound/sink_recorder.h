#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tonvela::test {

// Records the test sink's monitor with parecord, mono at kRate, for as long as it lives. It
// returns from its constructor only once data is flowing, so nothing played afterwards is missed.
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

 private:
  std::filesystem::path file_;
  pid_t pid_ = -1;
};

// Root-mean-square level of each 10 ms window.
std::vector<double> energyEnvelope(const std::vector<float>& samples, int sampleRate);

struct EnvelopeMatch {
  double correlation = 0.0;  // Pearson correlation of the envelopes at the best alignment
  std::size_t offset = 0;    // window of the recording where the reference starts
  double gain = 0.0;         // recorded level over reference level at that alignment
  double strayLevel = 0.0;   // loudest recorded window outside the match, over the reference peak
};

// Slides the reference envelope over the recording's and reports the best alignment.
EnvelopeMatch matchEnvelope(const std::vector<double>& recording,
                            const std::vector<double>& reference);

}  // namespace tonvela::test
