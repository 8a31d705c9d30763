// The Windows player as Wine runs it: each case writes a file, runs tonvela_play_file.exe under
// Wine and records the test sink meanwhile. What the sink heard is compared with what the file
// holds (or with the chime, for files that must be refused).
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "core/voice_file.h"
#include "tests/platform/sound/expect_heard.h"
#include "tests/platform/sound/sink_recorder.h"
#include "tests/platform/sound/sound_file_cases.h"
#include "tests/platform/sound/test_sounds.h"

namespace tonvela::test {
namespace {

const std::string kVoiceName(kVoiceFileName);

std::string env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) {
    ADD_FAILURE() << name << " is not set (run through CTest)";
    return {};
  }
  return value;
}

// Z: is Wine's view of the Unix root.
std::string windowsPath(const std::filesystem::path& path) {
  std::string result("Z:");
  for (char c : path.string()) {
    result.push_back(c == '/' ? '\\' : c);
  }
  return result;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

struct WineRun {
  int status = -1;
  bool played = false;
  double elapsedSeconds = -1.0;
  std::vector<double> envelope;
};

// How the Windows player is set up (see play_file_main.cpp): searching dir alone, with the chime
// as the only stand-in or with the user's default sound before it, or as the program itself
// has it, started in dir.
enum class Lookup { FolderOnly, FolderThenDefaultSound, AsTheProgram };

struct Setup {
  Lookup lookup = Lookup::FolderOnly;
  int stopAfterMs = -1;
  // Recorded until this long after the program has ended, so what still sounds is heard too.
  std::chrono::milliseconds linger{300};
  bool locked = false;  // the file held without sharing by another program
};

std::string playerCommand(const std::filesystem::path& dir, const Setup& setup) {
  const std::string player =
      quoted(env("TONVELA_TEST_WINE")) + " " + quoted(env("TONVELA_TEST_PLAYER"));
  std::string command = setup.lookup == Lookup::AsTheProgram
                            ? "cd " + quoted(dir.string()) + " && " + player + " -"
                            : player + " " + quoted(windowsPath(dir));
  command.append(" ").append(quoted(kVoiceName));
  command.append(" ").append(std::to_string(setup.stopAfterMs));
  if (setup.locked) {
    command.append(" lock");
  } else if (setup.lookup == Lookup::FolderThenDefaultSound) {
    command.append(" default-sound");
  }
  return command;
}

// Records from before Wine starts until the linger after it has ended.
WineRun playUnderWine(const std::filesystem::path& dir, const Setup& setup = {}) {
  const std::string command = playerCommand(dir, setup);
  WineRun run;
  SinkRecorder recorder;
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
      output += line;
    }
    run.status = ::pclose(pipe);
  }
  std::this_thread::sleep_for(setup.linger);
  run.envelope = energyEnvelope(recorder.stop(), SinkRecorder::kRate);
  int played = 0;
  double elapsedMs = -1.0;
  if (std::sscanf(output.c_str(), "played=%d elapsed_ms=%lf", &played, &elapsedMs) == 2) {
    run.played = played == 1;
    run.elapsedSeconds = elapsedMs / 1000.0;
  }
  std::printf("%s -> %s", command.c_str(), output.c_str());
  return run;
}

WineRun playMatching(const std::filesystem::path& dir, const std::vector<double>& reference,
                     const Setup& setup = {}, const HeardLimits& limits = {}) {
  return recordMatching([&] { return playUnderWine(dir, setup); }, reference, limits);
}

// GSM's lossy frames leave some noise just outside the bursts.
constexpr HeardLimits kLossyEdges{.maxStray = 0.25};

// Returns after the sound's length, and not much later: waveOut's last buffer is done only
// once the device has played it. "Later" is ten times the most seen on a loaded two-core
// machine (4 s, Wine's audio thread starved); a player that waited for its deadline instead
// would return two minutes late (the player program's slack).
constexpr double kLateLimitS = 40.0;
void expectTiming(const WineRun& run, double seconds) {
  EXPECT_GE(run.elapsedSeconds, seconds - 0.05);
  EXPECT_LE(run.elapsedSeconds, seconds + kLateLimitS);
}

// Writes the test bursts in c's format under the voice's name in dir, plays them with the
// player set up as given, and checks that all of them were heard, and nothing else.
void expectPlayedWhole(const FormatCase& c, const Setup& setup) {
  TempDir dir;
  auto bursts = toneBursts(c.rate);
  writeSound(dir.path() / kVoiceName, c.format, c.rate, bursts, c.channels);

  WineRun run = playMatching(dir.path(), energyEnvelope(bursts, c.rate), setup, kLossyEdges);

  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.played);
  expectTiming(run, static_cast<double>(bursts.size()) / c.rate);
  expectHeard(run.envelope, energyEnvelope(bursts, c.rate), kLossyEdges);
}

class PlaysEachFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(PlaysEachFormat, AsRecordedOnTheSink) { expectPlayedWhole(GetParam(), {}); }

// Beyond what every backend plays: stereo at 48 kHz.
std::vector<FormatCase> windowsWavFormats() {
  std::vector<FormatCase> formats = commonWavFormats();
  formats.push_back({"stereo_48k", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2});
  return formats;
}

INSTANTIATE_TEST_SUITE_P(Wav, PlaysEachFormat, testing::ValuesIn(windowsWavFormats()),
                         [](const auto& info) { return std::string(info.param.name); });

// Companded voices at rates the system's G.711 codec may not take (Wine's takes 8, 11.025, 22.05
// and 44.1 kHz only) play whole through the player exactly as the program makes it.
class PlaysCompandedVoices : public testing::TestWithParam<FormatCase> {};

TEST_P(PlaysCompandedVoices, ThroughTheProgramsOwnPlayer) {
  expectPlayedWhole(GetParam(), {.lookup = Lookup::AsTheProgram});
}

INSTANTIATE_TEST_SUITE_P(
    Companded, PlaysCompandedVoices,
    testing::Values(FormatCase{"mu_law_16k", SF_FORMAT_WAV | SF_FORMAT_ULAW, 16000, 1},
                    FormatCase{"a_law_48k_stereo", SF_FORMAT_WAV | SF_FORMAT_ALAW, 48000, 2},
                    FormatCase{"mu_law_8k", SF_FORMAT_WAV | SF_FORMAT_ULAW, 8000, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// The sample voice as the program finds it beside itself.
std::vector<double> sampleVoiceEnvelope(double* seconds) {
  int rate = 0;
  auto voice = readMono(env("TONVELA_SAMPLE_VOICE"), &rate);
  *seconds = static_cast<double>(voice.size()) / rate;
  return energyEnvelope(voice, rate);
}

// A file under the voice's name that cannot be decoded is passed over as a missing one is: with
// garbage in the folder it was started from, the program plays the sample beside it, not the
// default sound.
TEST(WinmmSoundPlayer, AnUndecodableFileHidesNoVoiceInALaterFolder) {
  TempDir dir;
  writeBytes(dir.path() / kVoiceName, std::string(5000, 'Z'));
  double seconds = 0;
  const std::vector<double> sample = sampleVoiceEnvelope(&seconds);

  WineRun run = playMatching(dir.path(), sample, {.lookup = Lookup::AsTheProgram});

  EXPECT_TRUE(run.played);
  expectTiming(run, seconds);
  expectHeard(run.envelope, sample);
}

// Sets the file of Windows' default beep (the sound the Sound control panel chooses for it) in
// the test prefix's registry, as the given value type, for the life of the object.
class ScopedDefaultBeep {
 public:
  ScopedDefaultBeep(const std::string& type, const std::string& file) {
    EXPECT_EQ(reg("add " + quoted(kKey) + " /ve /t " + type + " /d " + quoted(file) + " /f"), 0);
  }
  ~ScopedDefaultBeep() { reg("delete " + quoted(kKey) + " /ve /f"); }
  ScopedDefaultBeep(const ScopedDefaultBeep&) = delete;
  ScopedDefaultBeep& operator=(const ScopedDefaultBeep&) = delete;

 private:
  static constexpr const char* kKey =
      "HKCU\\AppEvents\\Schemes\\Apps\\.Default\\.Default\\.Current";
  static int reg(const std::string& arguments) {
    return std::system(
        (quoted(env("TONVELA_TEST_WINE")) + " reg " + arguments + " >/dev/null 2>&1").c_str());
  }
};

struct DefaultBeepCase {
  const char* name;
  const char* type;
  bool withVariable;  // the path through an environment variable, as Windows' own schemes have
};

class PlaysTheDefaultBeep : public testing::TestWithParam<DefaultBeepCase> {};

TEST_P(PlaysTheDefaultBeep, WhenNoFolderHoldsTheVoice) {
  const DefaultBeepCase& c = GetParam();
  TempDir voiceDir;
  TempDir beepDir;
  auto bursts = toneBursts(22050);
  writeSound(beepDir.path() / "beep.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, bursts);
  // Wine hands the environment on to the Windows program, where the variable is expanded.
  ::setenv("TONVELA_TEST_BEEP_DIR", windowsPath(beepDir.path()).c_str(), 1);
  ScopedDefaultBeep beep(c.type, c.withVariable ? "%TONVELA_TEST_BEEP_DIR%\\beep.wav"
                                                : windowsPath(beepDir.path() / "beep.wav"));

  WineRun run = playMatching(voiceDir.path(), energyEnvelope(bursts, 22050),
                             {.lookup = Lookup::FolderThenDefaultSound});

  EXPECT_TRUE(run.played);
  expectHeard(run.envelope, energyEnvelope(bursts, 22050));
}

INSTANTIATE_TEST_SUITE_P(RegistryValue, PlaysTheDefaultBeep,
                         testing::Values(DefaultBeepCase{"reg_sz", "REG_SZ", false},
                                         DefaultBeepCase{"reg_expand_sz", "REG_EXPAND_SZ", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WinmmSoundPlayer, PlaysTheSampleVoice) {
  TempDir dir;
  std::filesystem::copy_file(env("TONVELA_SAMPLE_VOICE"), dir.path() / kVoiceName);
  double seconds = 0;
  const std::vector<double> sample = sampleVoiceEnvelope(&seconds);

  WineRun run = playMatching(dir.path(), sample);

  EXPECT_TRUE(run.played);
  expectTiming(run, seconds);
  expectHeard(run.envelope, sample);
}

TEST(WinmmSoundPlayer, NameMatchesWithoutRegardToCase) {
  TempDir dir;
  writeSound(dir.path() / "语音文件.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100,
             toneBursts(44100));

  WineRun run = playMatching(dir.path(), energyEnvelope(toneBursts(44100), 44100));

  EXPECT_TRUE(run.played);
  expectHeard(run.envelope, energyEnvelope(toneBursts(44100), 44100));
}

TEST(WinmmSoundPlayer, StopSilencesThePlaybackPromptly) {
  // A steady tone stopped after three seconds, time for Wine's device to start on a loaded
  // machine (it had not within one). The stop must end the call, and the sound, within ten times
  // the longest seen (1.1 s); the tone lasts a minute, so one that played on is told apart.
  constexpr int kStopAfterMs = 3000;
  constexpr double kStopLimitS = 12.0;
  TempDir dir;
  std::vector<float> tone(44100 * 60);
  for (std::size_t i = 0; i < tone.size(); ++i) {
    tone[i] = 0.3F * static_cast<float>(std::sin(2 * M_PI * 440.0 * i / 44100.0));
  }
  writeSound(dir.path() / kVoiceName, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, tone);

  WineRun run =
      playUnderWine(dir.path(), {.stopAfterMs = kStopAfterMs, .linger = std::chrono::milliseconds(1500)});

  // A stopped playback reports false, and nothing (no chime) plays in its place.
  EXPECT_FALSE(run.played);
  EXPECT_EQ(run.status, 1 << 8);
  // The stopper's clock starts a moment before the call's.
  EXPECT_GE(run.elapsedSeconds, kStopAfterMs / 1000.0 - 0.05);
  EXPECT_LE(run.elapsedSeconds, kStopAfterMs / 1000.0 + kStopLimitS);
  std::size_t loud = 0;
  for (double level : run.envelope) {
    loud += level > 0.05 ? 1 : 0;
  }
  // 10 ms windows, recorded until 1.5 s after the program ended. How much of the tone before the
  // stop reaches the sink depends on the device's start-up latency; what matters is that the
  // tone started and that it fell silent with the stop, long before its minute.
  std::printf("%zu loud 10 ms windows\n", loud);
  EXPECT_GT(loud, 0U);
  EXPECT_LT(static_cast<double>(loud), (kStopAfterMs / 1000.0 + kStopLimitS) * 100);
}

// Whatever stands under the name, when it cannot be played the chime plays instead, at once.

class FallsBackToTheChime : public testing::TestWithParam<BadFileCase> {};

TEST_P(FallsBackToTheChime, PromptlyAndOnlyTheChime) {
  TempDir dir;
  GetParam().make(dir.path() / kVoiceName);

  WineRun run = playMatching(dir.path(), chimeEnvelope());

  EXPECT_TRUE(run.played);
  expectTiming(run, chimeSeconds());
  expectHeard(run.envelope, chimeEnvelope());
}

INSTANTIATE_TEST_SUITE_P(BadFiles, FallsBackToTheChime, testing::ValuesIn(badSoundFiles()),
                         [](const auto& info) { return std::string(info.param.name); });

// A good file that another program holds without sharing is passed over at once, not waited on.
TEST(WinmmSoundPlayer, FileLockedByAnotherProgramFallsBackToTheChime) {
  TempDir dir;
  writeBurstsWav(dir.path() / kVoiceName);

  WineRun run = playMatching(dir.path(), chimeEnvelope(), {.locked = true});

  EXPECT_TRUE(run.played);
  expectTiming(run, chimeSeconds());
  expectHeard(run.envelope, chimeEnvelope());
}

}  // namespace
}  // namespace tonvela::test
