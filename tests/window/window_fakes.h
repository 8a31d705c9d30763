#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "clock.h"
#include "error_report.h"
#include "sound_player.h"

namespace tonvela::test {

// A clock stopped at a chosen hour.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(int hour) { reading_.hour = hour; }
  LocalDateTime now() const override { return reading_; }

 private:
  LocalDateTime reading_{2024, 3, 1, 0, 0, 0};
};

// Counts the ticks Timer1 delivers. Connected after the window's own handler, so while that
// handler runs the tick in progress is not counted yet.
class TickCounter {
 public:
  explicit TickCounter(QTimer* timer) {
    QObject::connect(timer, &QTimer::timeout, [this] { ++delivered_; });
  }
  int delivered() const { return delivered_; }
  int tickInProgress() const { return delivered_ + 1; }

 private:
  int delivered_ = 0;
};

// Records each playback with the tick it came on; what it does while "playing" is up to the test
// (block for a while, raise an error).
class RecordingSound final : public SoundPlayer {
 public:
  struct Play {
    std::string fileName;
    int tick = 0;
    qint64 startMs = 0;
    qint64 endMs = 0;
  };

  RecordingSound() { elapsed_.start(); }

  bool playSync(const std::string& fileName) override {
    Play play{fileName, currentTick ? currentTick() : 0, elapsed_.elapsed(), 0};
    if (whilePlaying) {
      whilePlaying(static_cast<int>(plays.size()));
    }
    play.endMs = elapsed_.elapsed();
    plays.push_back(play);
    return true;
  }

  qint64 nowMs() const { return elapsed_.elapsed(); }

  std::function<int()> currentTick;
  std::function<void(int playIndex)> whilePlaying;
  std::vector<Play> plays;

 private:
  QElapsedTimer elapsed_;
};

class RecordingErrorReport final : public ErrorReport {
 public:
  void report(const RuntimeError& error) override { reported.push_back(error.number()); }
  std::vector<ErrorNumber> reported;
};

}  // namespace tonvela::test
