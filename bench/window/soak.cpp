// Soak: the window with a 1 ms tick and both intervals at 1, playing a short voice through the
// real sound backend to a PulseAudio server again and again. Prints resident memory and open
// file descriptors after the first reminder and after the last, and the reminders per second, so
// a leak per reminder shows as growth.
//
//   bench_soak <folder holding the voice file> [reminders, default 5000]
#include <QApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/sound/pulse/pulse_sound_player.h"
#include "tests/support/fake_clock.h"
#include "window/qt/form14021.h"
#include "window/qt/message_box_error_report.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Usage {
  long rssKiB = 0;
  long openFds = 0;
};

Usage usageNow() {
  Usage usage;
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> usage.rssKiB;
      break;
    }
  }
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++usage.openFds;
  }
  return usage;
}

// Counts the reminders the window played, on whatever thread the playback runs.
class CountingSound final : public tonvela::SoundPlayer {
 public:
  explicit CountingSound(tonvela::SoundPlayer& real) : real_(real) {}
  using SoundPlayer::playSync;
  bool playSync(const std::string& fileName, std::stop_token stop) override {
    const bool played = real_.playSync(fileName, stop);
    (played ? played_ : failed_).fetch_add(1);
    return played;
  }
  int played() const { return played_.load(); }
  int failed() const { return failed_.load(); }

 private:
  tonvela::SoundPlayer& real_;
  std::atomic<int> played_ = 0;
  std::atomic<int> failed_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: bench_soak <voice folder> [reminders]\n", stderr);
    return 2;
  }
  const int reminders = argc > 2 ? std::atoi(argv[2]) : 5000;
  QApplication app(argc, argv);
  tonvela::PulseOptions options;
  options.searchDirs = {argv[1]};
  options.themeDataDirs = std::vector<std::filesystem::path>{};  // a failure must not sound
  tonvela::PulseSoundPlayer pulse(options);
  CountingSound sound(pulse);
  tonvela::fakes::FakeClock clock(9);
  tonvela::qt::MessageBoxErrorReport errorReport;
  tonvela::qt::Form14021 form(clock, sound, errorReport, std::chrono::milliseconds(1));
  form.Text1[0]->setText(QStringLiteral("1"));
  form.show();

  Usage first{};
  Clock::time_point firstAt{};
  QTimer watch;
  // Runs in the event loop the window waits in during each playback as well.
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const int done = sound.played() + sound.failed();
    if (done >= 1 && firstAt == Clock::time_point{}) {
      first = usageNow();
      firstAt = Clock::now();
    }
    if (done >= reminders) {
      form.close();
    }
  });
  watch.start(1);
  QApplication::exec();
  const Usage last = usageNow();
  const int done = sound.played() + sound.failed();
  const double seconds = std::chrono::duration<double>(Clock::now() - firstAt).count();
  std::printf("soak: %d reminders (%d played, %d failed) of a short voice, %.1f reminders/s\n",
              done, sound.played(), sound.failed(), (done - 1) / seconds);
  std::printf("soak: RSS %ld KiB after the first, %ld KiB after the last (ratio %.3f)\n",
              first.rssKiB, last.rssKiB, static_cast<double>(last.rssKiB) / first.rssKiB);
  std::printf("soak: open fds %ld after the first, %ld after the last\n", first.openFds,
              last.openFds);
  std::fflush(stdout);
  return sound.failed() == 0 ? 0 : 1;
}
