// How often a recording of the test sink misses what was played, for our player and for the
// sound server's own tools, played in turn through one server so they meet the same machine.
// Each recording is judged as the sound tests judge theirs (correlation, gain, stray level) and
// by how much shorter it came out than the time it ran.
//
//   recording_rates <work dir> <rounds> [--witness] <player>...   players: ours, paplay, pw-play
//
// A round plays each test sound once with each player, in an order that turns by one player
// every round. Every run is one line of <work dir>/runs.tsv; a recording that misses is kept as
// <work dir>/missed/<run>-<player>-<sound>.wav. The summary goes to standard output.
//
// With TONVELA_RATES_SERVER_LOG naming pipewire-pulse's log (started with protocol-pulse logging
// at level 3), each run also looks for an underflow the server reported on the playback stream
// before the sound's last byte: the player's buffer ran dry while the sound played, a gap in
// what the sink played. (One at or past the last byte is the stream running out at its end.)
//
// --witness records the sink a second time, at once, with pw-record (PipeWire only): a miss that
// both recordings show was in what the sink played; one that only the tests' recorder shows was
// lost in the recording.
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/voice_file.h"
#include "platform/sound/chime.h"
#include "platform/sound/pulse/pulse_sound_player.h"
#include "tests/platform/sound/sink_recorder.h"
#include "tests/platform/sound/sound_file_cases.h"
#include "tests/platform/sound/test_sounds.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace tonvela::test;
using Seconds = std::chrono::duration<double>;

// Beyond the few tens of ms a recorder's start and stop account for.
constexpr double kShortRecordingSeconds = 0.1;

struct TestSound {
  std::string name;
  fs::path file;    // what paplay and pw-play play
  fs::path ourDir;  // where our player looks for the voice file
  std::vector<double> reference;
  std::int64_t fileStreamBytes = 0;   // the file's samples as paplay streams them
  std::int64_t floatStreamBytes = 0;  // as our player streams them: 32-bit float
};

// The limits of the sound tests' expectHeard (tests/platform/sound/pulse_sound_player_test.cpp).
struct Judged {
  EnvelopeMatch match;
  double shortfall = 0.0;
  bool mismatched() const {
    return match.correlation <= 0.9 || match.gain <= 0.5 || match.gain >= 1.5;
  }
  bool stray() const { return match.strayLevel >= 0.1; }
  bool shortRecording() const { return shortfall > kShortRecordingSeconds; }
  bool missed() const { return mismatched() || stray(); }
};

std::vector<float> chimeSamples() {
  std::vector<float> samples;
  for (std::int64_t i = 0; i < tonvela::Chime::kFrames; ++i) {
    samples.push_back(tonvela::Chime::sampleAt(i));
  }
  return samples;
}

// The sounds the failing tests play: the chime that stands in for a bad file, the tone bursts,
// and the sample voice. Our player meets the chime as the tests do, through a missing file.
std::vector<TestSound> makeSounds(const fs::path& work, const fs::path& voice) {
  std::vector<TestSound> sounds;
  const std::string voiceName(tonvela::kVoiceFileName);
  auto add = [&](const std::string& name, std::vector<double> reference) -> TestSound& {
    TestSound& sound = sounds.emplace_back();
    sound.name = name;
    sound.ourDir = work / "sounds" / name;
    sound.file = work / "files" / (name + ".wav");
    sound.reference = std::move(reference);
    fs::create_directories(sound.ourDir);
    fs::create_directories(sound.file.parent_path());
    return sound;
  };
  auto chime = chimeSamples();
  writeSound(add("chime", chimeEnvelope()).file, SF_FORMAT_WAV | SF_FORMAT_FLOAT,
             tonvela::Chime::kSampleRate, chime);
  TestSound& bursts = add("bursts", energyEnvelope(toneBursts(44100), 44100));
  writeBurstsWav(bursts.file);
  fs::copy_file(bursts.file, bursts.ourDir / voiceName);
  int rate = 0;
  auto mono = readMono(voice, &rate);
  TestSound& sample = add("voice", energyEnvelope(mono, rate));
  fs::copy_file(voice, sample.file);
  fs::copy_file(voice, sample.ourDir / voiceName);
  for (TestSound& sound : sounds) {
    SF_INFO info{};
    SNDFILE* file = sf_open(sound.file.c_str(), SFM_READ, &info);
    sf_close(file);
    const int bytesPerSample = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ? 2 : 4;
    sound.fileStreamBytes = info.frames * info.channels * bytesPerSample;
    sound.floatStreamBytes = info.frames * info.channels * 4;
  }
  return sounds;
}

std::string sinkName() {
  const char* sink = std::getenv("TONVELA_TEST_SINK");
  return sink != nullptr ? sink : "tonvela_test";
}

pid_t spawn(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  pid_t pid = -1;
  return ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

bool runProgram(std::vector<std::string> args) {
  pid_t pid = spawn(std::move(args));
  if (pid < 0) {
    return false;
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool play(const std::string& player, const TestSound& sound) {
  if (player == "ours") {
    tonvela::PulseSoundPlayer::Options options;
    options.searchDirs = {sound.ourDir};
    options.themeDataDirs = std::vector<fs::path>{};
    return tonvela::PulseSoundPlayer(options).playSync(std::string(tonvela::kVoiceFileName));
  }
  if (player == "pw-play") {
    return runProgram({"pw-play", "--target", sinkName(), sound.file.string()});
  }
  return runProgram({"paplay", sound.file.string()});
}

// A second recording of the sink by PipeWire's own recorder, to tell where a miss happened.
class Witness {
 public:
  explicit Witness(fs::path file) : file_(std::move(file)) {
    pid_ = spawn({"pw-record", "--target", sinkName(), "-P", "{ stream.capture.sink = true }",
                  "--rate", std::to_string(SinkRecorder::kRate), "--channels", "2", "--format",
                  "s16", file_.string()});
    if (pid_ < 0) {
      throw std::runtime_error("cannot start pw-record");
    }
    // Past its 44-byte header: data is flowing.
    while (!fs::exists(file_) || fs::file_size(file_) <= 44) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  Witness(const Witness&) = delete;
  Witness& operator=(const Witness&) = delete;
  ~Witness() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  std::vector<float> stop() {
    ::kill(pid_, SIGINT);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    int rate = 0;
    return readMono(file_, &rate);
  }

 private:
  fs::path file_;
  pid_t pid_ = -1;
};

void keep(const fs::path& file, const std::vector<float>& samples) {
  writeSound(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, SinkRecorder::kRate, samples);
}

// The stream offsets (in bytes) of the underflows the server's log reported since last asked.
class UnderflowLog {
 public:
  explicit UnderflowLog(const char* path) {
    if (path != nullptr) {
      in_.open(path);
      newOffsets();
    }
  }
  std::vector<std::int64_t> newOffsets() {
    std::vector<std::int64_t> offsets;
    std::string line;
    while (in_.is_open() && std::getline(in_, line)) {
      auto at = line.find("UNDERFLOW");
      auto offset = line.find("offset:", at);
      if (at != std::string::npos && offset != std::string::npos) {
        offsets.push_back(std::stoll(line.substr(offset + 7)));
      }
    }
    in_.clear();  // at its end for now: the server goes on writing
    return offsets;
  }

 private:
  std::ifstream in_;
};

// Underflows before the stream's last byte: the sound stopped and went on, a gap.
int gapsPlayed(const std::vector<std::int64_t>& offsets, std::int64_t streamBytes) {
  return static_cast<int>(std::count_if(offsets.begin(), offsets.end(),
                                        [&](std::int64_t offset) { return offset < streamBytes; }));
}

struct Tally {
  int runs = 0, failedToPlay = 0, mismatched = 0, stray = 0, shortRecording = 0, missed = 0;
  int gapPlayed = 0, missedWithoutGap = 0;
  void add(const Judged& judged, bool played, int gaps) {
    ++runs;
    failedToPlay += played ? 0 : 1;
    mismatched += judged.mismatched() ? 1 : 0;
    stray += judged.stray() ? 1 : 0;
    shortRecording += judged.shortRecording() ? 1 : 0;
    missed += judged.missed() ? 1 : 0;
    gapPlayed += gaps > 0 ? 1 : 0;
    missedWithoutGap += judged.missed() && gaps == 0 ? 1 : 0;
  }
};

void printHeading() {
  std::printf("%-18s %5s %13s %13s %13s %13s %13s %9s %6s\n", "", "runs", "missed", "corr/gain",
              "stray", "short rec", "underflow", "missed,", "failed");
  std::printf("%-18s %5s %13s %13s %13s %13s %13s %9s %6s\n", "", "", "", "", "", "", "mid-sound",
              "none", "");
}

void printTally(const std::string& label, const Tally& t) {
  auto pct = [&](int n) { return t.runs > 0 ? 100.0 * n / t.runs : 0.0; };
  std::printf("%-18s %5d %6d %5.1f%% %6d %5.1f%% %6d %5.1f%% %6d %5.1f%% %6d %5.1f%% %9d %6d\n",
              label.c_str(), t.runs, t.missed, pct(t.missed), t.mismatched, pct(t.mismatched),
              t.stray, pct(t.stray), t.shortRecording, pct(t.shortRecording), t.gapPlayed,
              pct(t.gapPlayed), t.missedWithoutGap, t.failedToPlay);
}

// One playback as the tests' recorder (and the witness, if any) heard it.
struct Run {
  bool played = false;
  Seconds elapsed{};
  std::vector<float> recording;
  double shortfall = 0.0;
  std::optional<std::vector<float>> witnessed;
};

Run playAndRecord(const std::string& player, const TestSound& sound,
                  const std::optional<fs::path>& witnessFile) {
  std::optional<Witness> witness;
  if (witnessFile) {
    witness.emplace(*witnessFile);
  }
  SinkRecorder recorder;
  Run run;
  const auto start = std::chrono::steady_clock::now();
  run.played = play(player, sound);
  run.elapsed = std::chrono::steady_clock::now() - start;
  run.recording = recorder.stop();
  run.shortfall = recorder.shortfallSeconds();
  if (witness) {
    run.witnessed = witness->stop();
  }
  return run;
}

Judged judge(const std::vector<float>& recording, const TestSound& sound, double shortfall) {
  return {matchEnvelope(energyEnvelope(recording, SinkRecorder::kRate), sound.reference),
          shortfall};
}

// Every run's figures, as one line of runs.tsv each and as tallies for the summary.
class Results {
 public:
  Results(const fs::path& work, bool witnessed) : work_(work), log_(work / "runs.tsv") {
    fs::create_directories(work / "missed");
    log_ << "run\tplayer\tsound\tplayed\tcorrelation\tgain\tstray\tshortfall\telapsed"
         << "\tunderflow_offsets" << (witnessed ? "\tw_correlation\tw_gain\tw_stray\n" : "\n");
  }

  void add(const std::string& player, const TestSound& sound, const Run& run,
           const std::vector<std::int64_t>& underflows) {
    const int number = count_++;
    const std::string name = std::to_string(number) + "-" + player + "-" + sound.name;
    const int gaps =
        gapsPlayed(underflows, player == "ours" ? sound.floatStreamBytes : sound.fileStreamBytes);
    const Judged judged = judge(run.recording, sound, run.shortfall);
    byPlayer_[player].add(judged, run.played, gaps);
    byPlayerAndSound_[player + " " + sound.name].add(judged, run.played, gaps);
    log_ << number << '\t' << player << '\t' << sound.name << '\t' << run.played << '\t'
         << judged.match.correlation << '\t' << judged.match.gain << '\t' << judged.match.strayLevel
         << '\t' << judged.shortfall << '\t' << run.elapsed.count() << '\t';
    for (std::int64_t offset : underflows) {
      log_ << offset << ' ';
    }
    if (judged.missed() || judged.shortRecording()) {
      keep(work_ / "missed" / (name + ".wav"), run.recording);
    }
    if (run.witnessed) {
      const Judged other = judge(*run.witnessed, sound, 0.0);
      witnessByPlayer_[player].add(other, run.played, gaps);
      missedByBoth_[player] += judged.missed() && other.missed() ? 1 : 0;
      log_ << '\t' << other.match.correlation << '\t' << other.match.gain << '\t'
           << other.match.strayLevel;
      if (other.missed()) {
        keep(work_ / "missed" / (name + "-witness.wav"), *run.witnessed);
      }
    }
    log_ << '\n' << std::flush;
  }

  void print() const {
    printHeading();
    for (const auto& [label, tally] : byPlayer_) {
      printTally(label, tally);
    }
    std::printf("\n");
    for (const auto& [label, tally] : byPlayerAndSound_) {
      printTally(label, tally);
    }
    if (witnessByPlayer_.empty()) {
      return;
    }
    std::printf("\npw-record beside it\n");
    for (const auto& [label, tally] : witnessByPlayer_) {
      printTally(label, tally);
    }
    for (const auto& [label, tally] : byPlayer_) {
      std::printf("%s: missed in both recordings %d of %d\n", label.c_str(),
                  missedByBoth_.at(label), tally.runs);
    }
  }

 private:
  fs::path work_;
  std::ofstream log_;
  int count_ = 0;
  std::map<std::string, Tally> byPlayer_, byPlayerAndSound_, witnessByPlayer_;
  std::map<std::string, int> missedByBoth_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <work dir> <rounds> [--witness] <player>...\n", argv[0]);
    return 2;
  }
  const fs::path work = argv[1];
  const int rounds = std::stoi(argv[2]);
  std::vector<std::string> players(argv + 3, argv + argc);
  std::optional<fs::path> witnessFile;
  if (players.front() == "--witness") {
    players.erase(players.begin());
    witnessFile = work / "witness.wav";
  }
  const auto sounds = makeSounds(work, TONVELA_SAMPLE_VOICE);
  Results results(work, witnessFile.has_value());
  UnderflowLog serverLog(std::getenv("TONVELA_RATES_SERVER_LOG"));
  for (int round = 0; round < rounds; ++round) {
    for (const TestSound& sound : sounds) {
      for (std::size_t i = 0; i < players.size(); ++i) {
        const std::string& player = players[(i + static_cast<std::size_t>(round)) % players.size()];
        Run run = playAndRecord(player, sound, witnessFile);
        results.add(player, sound, run, serverLog.newOffsets());
      }
    }
  }
  results.print();
  if (std::getenv("TONVELA_RATES_SERVER_LOG") == nullptr) {
    std::printf("\n(no server log: underflows were not counted)\n");
  }
  return 0;
}
