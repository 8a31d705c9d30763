// Side by side on one null sink: how long after a sound's end the call returns, ours against
// paplay, and peak memory playing a long file against a short one.
//
//   sound_bench <work dir> <runs> <seconds of the long file to play, 0 = all of it>
//   sound_bench play <dir>         plays <dir>/语音文件.WAV once (used for the memory figures)
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "core/voice_file.h"
#include "platform/sound/pulse/pulse_sound_player.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

const std::string kVoiceName(tonvela::kVoiceFileName);
constexpr int kRate = 44100;

// A slow sweep, written a second at a time so the bench itself stays small.
void writeSweep(const fs::path& file, int seconds) {
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
  std::vector<float> second(kRate);
  for (int s = 0; s < seconds; ++s) {
    for (int i = 0; i < kRate; ++i) {
      double t = s + static_cast<double>(i) / kRate;
      second[static_cast<std::size_t>(i)] =
          static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * (300 + 10 * s) * t));
    }
    sf_writef_float(out, second.data(), kRate);
  }
  sf_close(out);
}

struct Child {
  Seconds wall{};
  long maxRssKb = 0;
};

// Peak resident memory of a running process since its exec. (The rusage that wait4 reports
// is no use here: a spawned child's figure starts from its parent's peak.)
long peakRssKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmHWM:")) {
      return std::stol(line.substr(6));
    }
  }
  return 0;
}

// Runs a program to its end, or stops it after `limit`, and reports its time and peak memory.
Child runChild(std::vector<std::string> args, Seconds limit) {
  std::vector<char*> argv;
  for (auto& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  auto start = Clock::now();
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[0]);
    std::exit(1);
  }
  int status = 0;
  long peak = 0;
  // VmHWM only grows, so its last reading before the exit is the peak, give or take the
  // final millisecond.
  while (waitpid(pid, &status, WNOHANG) == 0) {
    peak = std::max(peak, peakRssKb(pid));
    if (Clock::now() - start > limit) {
      kill(pid, SIGTERM);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return {Clock::now() - start, peak};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int playOnce(const fs::path& dir) {
  tonvela::PulseSoundPlayer::Options options;
  options.searchDirs = {dir};
  tonvela::PulseSoundPlayer player(options);
  return player.playSync(kVoiceName) ? 0 : 1;
}

void printRow(const char* what, const std::vector<double>& ms) {
  std::printf("%-34s %9.1f %9.1f %9.1f\n", what, median(ms),
              *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "play") {
    return playOnce(argv[2]);
  }
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <work dir> <runs> <long play seconds>\n", argv[0]);
    return 2;
  }
  fs::path work = argv[1];
  int runs = std::stoi(argv[2]);
  double longPlay = std::stod(argv[3]);
  fs::path shortDir = work / "short", longDir = work / "long";
  fs::create_directories(shortDir);
  fs::create_directories(longDir);
  constexpr int kShortSeconds = 2, kLongSeconds = 600;
  writeSweep(shortDir / kVoiceName, kShortSeconds);
  writeSweep(longDir / kVoiceName, kLongSeconds);

  // Return time: each player's runs back to back. Interleaved, each of our runs would follow a
  // paplay stream, whose large buffer leaves the null sink (no rewinds) rendering a long block
  // that our stream must wait out first: about 35 ms more on every run.
  tonvela::PulseSoundPlayer::Options options;
  options.searchDirs = {shortDir};
  tonvela::PulseSoundPlayer player(options);
  std::vector<double> oursMs, paplayMs;
  std::string shortFile = (shortDir / kVoiceName).string();
  for (int run = 0; run < runs; ++run) {
    auto start = Clock::now();
    bool played = player.playSync(kVoiceName);
    Seconds elapsed = Clock::now() - start;
    if (!played) {
      std::fprintf(stderr, "playback failed\n");
      return 1;
    }
    oursMs.push_back((elapsed.count() - kShortSeconds) * 1000);
  }
  for (int run = 0; run < runs; ++run) {
    Child paplay = runChild({"paplay", shortFile}, Seconds(30));
    paplayMs.push_back((paplay.wall.count() - kShortSeconds) * 1000);
  }
  std::printf("Return after the sound's end (ms), %d runs of a %d s file\n", runs, kShortSeconds);
  std::printf("%-34s %9s %9s %9s\n", "", "median", "min", "max");
  printRow("PulseSoundPlayer::playSync", oursMs);
  printRow("paplay (process start to exit)", paplayMs);
  std::printf("difference ours - paplay (median)   %9.1f\n\n", median(oursMs) - median(paplayMs));

  // Peak memory: a fresh process per measurement, so nothing of this one is counted.
  std::string self = fs::read_symlink("/proc/self/exe").string();
  Seconds limit = longPlay > 0 ? Seconds(longPlay) : Seconds(kLongSeconds + 30);
  Child oursShort = runChild({self, "play", shortDir.string()}, Seconds(30));
  Child oursLong = runChild({self, "play", longDir.string()}, limit);
  Child paplayShort = runChild({"paplay", shortFile}, Seconds(30));
  Child paplayLong = runChild({"paplay", (longDir / kVoiceName).string()}, limit);
  std::printf("Peak RSS (kB): %d s file played whole, %d s file played for %.0f s\n", kShortSeconds,
              kLongSeconds, std::min(limit.count(), double(kLongSeconds)));
  std::printf("%-34s %9s %9s %9s\n", "", "2 s", "10 min", "ratio");
  std::printf("%-34s %9ld %9ld %9.2f\n", "PulseSoundPlayer (bench process)", oursShort.maxRssKb,
              oursLong.maxRssKb, double(oursLong.maxRssKb) / double(oursShort.maxRssKb));
  std::printf("%-34s %9ld %9ld %9.2f\n", "paplay", paplayShort.maxRssKb, paplayLong.maxRssKb,
              double(paplayLong.maxRssKb) / double(paplayShort.maxRssKb));
  return 0;
}
