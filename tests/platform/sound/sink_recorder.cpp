#include "tests/platform/sound/sink_recorder.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tonvela::test {
namespace {

using namespace std::chrono_literals;

std::string testSink() {
  const char* sink = std::getenv("TONVELA_TEST_SINK");
  return sink != nullptr ? sink : "tonvela_test";
}

std::uintmax_t fileSize(const std::filesystem::path& file) {
  std::error_code error;
  auto size = std::filesystem::file_size(file, error);
  return error ? 0 : size;
}

bool waitForExit(pid_t pid, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) {
      return true;
    }
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

double pearson(const double* a, const double* b, std::size_t n) {
  double meanA = std::accumulate(a, a + n, 0.0) / static_cast<double>(n);
  double meanB = std::accumulate(b, b + n, 0.0) / static_cast<double>(n);
  double cov = 0, varA = 0, varB = 0;
  for (std::size_t i = 0; i < n; ++i) {
    cov += (a[i] - meanA) * (b[i] - meanB);
    varA += (a[i] - meanA) * (a[i] - meanA);
    varB += (b[i] - meanB) * (b[i] - meanB);
  }
  return (varA <= 0 || varB <= 0) ? 0.0 : cov / std::sqrt(varA * varB);
}

}  // namespace

SinkRecorder::SinkRecorder(std::string server) {
  static int counter = 0;
  file_ = std::filesystem::temp_directory_path() /
          ("tonvela-rec-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".raw");
  std::vector<std::string> args{"parecord",
                                "--device=" + testSink() + ".monitor",
                                "--raw",
                                "--format=s16le",
                                "--rate=" + std::to_string(kRate),
                                "--channels=2",
                                "--channel-map=front-left,front-right",
                                "--latency-msec=20"};
  if (!server.empty()) {
    args.push_back("--server=" + server);
  }
  args.push_back(file_.string());
  std::vector<char*> argv;
  for (auto& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  if (::posix_spawnp(&pid_, "parecord", nullptr, nullptr, argv.data(), environ) != 0) {
    throw std::runtime_error("cannot start parecord");
  }
  // The monitor delivers silence continuously, so a growing file means the recording is live.
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while (fileSize(file_) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      throw std::runtime_error("parecord recorded nothing within 5 s");
    }
    std::this_thread::sleep_for(10ms);
  }
  firstData_ = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(200ms);
}

SinkRecorder::~SinkRecorder() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  std::error_code error;
  std::filesystem::remove(file_, error);
}

std::vector<float> SinkRecorder::stop() {
  // A short tail, so the last samples played are through the monitor before it stops.
  std::this_thread::sleep_for(300ms);
  const auto stoppedAt = std::chrono::steady_clock::now();
  ::kill(pid_, SIGINT);
  if (!waitForExit(pid_, 3000ms)) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
  std::ifstream in(file_, std::ios::binary);
  std::vector<float> samples;
  std::array<std::int16_t, 2> frame{};
  while (in.read(reinterpret_cast<char*>(frame.data()), sizeof frame)) {
    samples.push_back((static_cast<float>(frame[0]) + static_cast<float>(frame[1])) / 65536.0F);
  }
  const double wall = std::chrono::duration<double>(stoppedAt - firstData_).count();
  shortfallSeconds_ = wall - static_cast<double>(samples.size()) / kRate;
  return samples;
}

std::vector<double> energyEnvelope(const std::vector<float>& samples, int sampleRate) {
  std::size_t window = static_cast<std::size_t>(sampleRate / 100);
  std::vector<double> envelope;
  for (std::size_t start = 0; start + window <= samples.size(); start += window) {
    double sum = 0;
    for (std::size_t i = start; i < start + window; ++i) {
      sum += static_cast<double>(samples[i]) * samples[i];
    }
    envelope.push_back(std::sqrt(sum / static_cast<double>(window)));
  }
  return envelope;
}

EnvelopeMatch matchEnvelope(const std::vector<double>& recording,
                            const std::vector<double>& reference) {
  EnvelopeMatch best;
  if (reference.empty() || recording.size() < reference.size()) {
    return best;
  }
  const std::size_t n = reference.size();
  for (std::size_t offset = 0; offset + n <= recording.size(); ++offset) {
    double r = pearson(recording.data() + offset, reference.data(), n);
    if (r > best.correlation) {
      best.correlation = r;
      best.offset = offset;
    }
  }
  double recorded =
      std::accumulate(recording.begin() + static_cast<std::ptrdiff_t>(best.offset),
                      recording.begin() + static_cast<std::ptrdiff_t>(best.offset + n), 0.0);
  double expected = std::accumulate(reference.begin(), reference.end(), 0.0);
  best.gain = expected > 0 ? recorded / expected : 0.0;
  // Against the recording's own peak within the match, so a server that plays everything louder
  // or softer (its downmix of a many-channel file, say) does not move the measure.
  double peak = *std::max_element(recording.begin() + static_cast<std::ptrdiff_t>(best.offset),
                                  recording.begin() + static_cast<std::ptrdiff_t>(best.offset + n));
  // Margin of 3 windows each side: the server's resampler smears the edges a little.
  for (std::size_t i = 0; i < recording.size(); ++i) {
    bool inside = i + 3 >= best.offset && i < best.offset + n + 3;
    if (!inside && peak > 0) {
      best.strayLevel = std::max(best.strayLevel, recording[i] / peak);
    }
  }
  return best;
}

bool heardWithin(const EnvelopeMatch& match, const HeardLimits& limits) {
  const bool levelFits = !limits.judgeGain || (match.gain > limits.minGain && match.gain < limits.maxGain);
  return match.correlation > limits.minCorrelation && levelFits && match.strayLevel < limits.maxStray;
}

}  // namespace tonvela::test
