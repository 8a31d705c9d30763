// The window's engine under a fake front-end: what every front-end's window does with its ticks,
// edits, the voice and a close, tested once. The sounds are fakes that record, block until stopped,
// or hang in a system call; the worker thread and the waits are real.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>

#include "core/voice_file.h"
#include "platform/runtime_error.h"
#include "tests/support/blocking_sound.h"
#include "tests/support/fake_clock.h"
#include "tests/support/recording_error_report.h"
#include "tests/support/recording_sound.h"
#include "tests/window/fake_front_end.h"
#include "window/event_boundary.h"
#include "window/form_engine.h"

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
#include "tests/support/stuck_sound.h"
#endif

namespace tonvela {
namespace {

using namespace std::chrono_literals;
using fakes::BlockingSound;
using fakes::FakeFrontEnd;
using fakes::RecordingSound;

// A loaded window whose every tick plays (day interval 1 at 09:00), with the given sound.
template <typename Sound>
struct Window {
  template <typename... SoundArgs>
  explicit Window(std::chrono::milliseconds tickPeriod, SoundArgs&&... soundArgs)
      : sound(std::forward<SoundArgs>(soundArgs)...),
        engine(clock, sound, errors, frontEnd, tickPeriod) {
    engine.load();
    engine.boxChanged(0, "1");
  }
  fakes::FakeClock clock{9};
  Sound sound;
  fakes::RecordingErrorReport errors;
  FakeFrontEnd frontEnd;
  FormEngine engine;
};

TEST(FormEngine, LoadStartsTimer1AtItsPeriod) {
  Window<RecordingSound> window(60000ms);
  EXPECT_EQ(window.frontEnd.timerStarts, std::vector{60000ms});
  EXPECT_TRUE(window.frontEnd.timerRunning);
  EXPECT_EQ(window.engine.reminder().state().NightInterval, 25);
}

TEST(FormEngine, TheVoicePlaysOnAWorkerWhileTheWindowPumps) {
  Window<RecordingSound> window(60000ms);
  std::thread::id playedOn;
  window.sound.whilePlaying = [&](int) { playedOn = std::this_thread::get_id(); };
  window.engine.tick();
  EXPECT_EQ(window.sound.fileNames(), std::vector{std::string(kVoiceFileName)});
  EXPECT_NE(playedOn, std::this_thread::get_id());
  EXPECT_EQ(window.frontEnd.pumps, 1);
  EXPECT_EQ(window.frontEnd.pumpThread, std::this_thread::get_id());
  EXPECT_EQ(window.engine.reminder().state().ElapsedMinutes, 0);
  EXPECT_EQ(window.frontEnd.attentionAsked, 0);
  EXPECT_TRUE(window.errors.reported.empty());
}

// The reminder handles one event at a time: what arrives while the voice plays does not reach it,
// and after the voice everything is taken again.
TEST(FormEngine, EventsDuringTheVoiceDoNotReachTheReminder) {
  Window<BlockingSound> window(60000ms, 100ms);
  bool editTaken = true;
  window.frontEnd.duringVoice = {[&] { window.engine.tick(); },
                                 [&] { editTaken = window.engine.boxChanged(0, "7"); }};
  window.engine.tick();
  EXPECT_EQ(window.sound.started(), 1);
  EXPECT_FALSE(editTaken);
  EXPECT_EQ(window.engine.reminder().state().DayInterval, 1);
  EXPECT_TRUE(window.engine.boxChanged(0, "7"));
  EXPECT_EQ(window.engine.reminder().state().DayInterval, 7);
}

TEST(FormEngine, NothingHeardAndNotStoppedAsksForAttention) {
  struct Case {
    const char* name;
    bool played;
    bool closedDuringTheVoice;
    int attention;
  };
  for (const Case& c : {Case{"played", true, false, 0}, Case{"nothing could sound", false, false, 1},
                        Case{"stopped by a close", false, true, 0}}) {
    SCOPED_TRACE(c.name);
    Window<BlockingSound> window(60000ms, c.closedDuringTheVoice ? 30s : 0ms);
    window.sound.setSucceeds(c.played);
    if (c.closedDuringTheVoice) {
      window.frontEnd.duringVoice = {[&] { window.engine.close(); }};
    }
    window.engine.tick();
    EXPECT_EQ(window.frontEnd.attentionAsked, c.attention);
  }
}

// A close stops Timer1 and the voice; no tick after it, queued or not, runs the reminder, and it
// is no error. The toolkit's event loop may end with it (Qt quits on the last window closed) or
// not yet: either way the voice stops at once.
TEST(FormEngine, ACloseStopsTheVoiceAndNoReminderFollows) {
  for (const bool loopEnds : {false, true}) {
    SCOPED_TRACE(loopEnds ? "the event loop ends with the close" : "the event loop goes on");
    Window<BlockingSound> window(60000ms, 30s);
    window.frontEnd.duringVoice = {[&] {
      window.engine.close();
      window.frontEnd.loopEnded = loopEnds;
    }};
    const auto started = BlockingSound::Clock::now();
    window.engine.tick();
    EXPECT_LT(window.sound.lastEnd() - started, 10s);  // stopped, not waited out
    EXPECT_EQ(window.sound.stopped(), 1);
    EXPECT_TRUE(window.engine.ending());
    EXPECT_FALSE(window.frontEnd.timerRunning);
    window.engine.tick();
    EXPECT_TRUE(window.engine.boxChanged(0, "2"));
    EXPECT_EQ(window.sound.started(), 1);
    EXPECT_EQ(window.engine.reminder().state().DayInterval, 1);
    EXPECT_TRUE(window.errors.reported.empty());
    EXPECT_FALSE(window.frontEnd.endedWith.has_value());  // the close itself ends the loop, with 0
  }
}

// An error raised by the player on the worker is raised again on the window's thread, where the
// boundary reports it and ends the program; no event reaches the reminder after it.
TEST(FormEngine, AnErrorInThePlayerIsReportedAndEndsTheProgram) {
  struct Case {
    const char* name;
    std::function<void()> raise;
    ErrorNumber reported;
  };
  const Case cases[] = {
      {"runtime error", [] { raiseOverflow(); }, ErrorNumber::Overflow},
      {"anything else", [] { throw std::logic_error("unexpected"); }, ErrorNumber::InternalError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Window<RecordingSound> window(60000ms);
    int playbacks = 0;
    window.sound.whilePlaying = [&](int) {
      ++playbacks;
      c.raise();
    };
    window.engine.tick();
    EXPECT_EQ(window.errors.reported, std::vector{c.reported});
    EXPECT_EQ(window.frontEnd.endedWith, kUnhandledErrorExitStatus);
    EXPECT_FALSE(window.frontEnd.timerRunning);
    window.engine.tick();
    EXPECT_EQ(playbacks, 1);
  }
}

// A voice longer than the tick period is followed by one overdue tick at once, not by a tick per
// period it covered; the period restarts from the overdue tick.
TEST(FormEngine, AVoiceLongerThanAPeriodIsFollowedByOneOverdueTick) {
  struct Case {
    const char* name;
    std::chrono::milliseconds period;
    std::chrono::milliseconds voice;
    std::vector<std::chrono::milliseconds> timerStarts;  // after load, a tick and the next tick
  };
  const Case cases[] = {
      {"shorter voice", 60000ms, 0ms, {60000ms}},
      {"longer voice", 200ms, 600ms, {200ms, 0ms, 200ms}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Window<RecordingSound> window(c.period);
    window.sound.whilePlaying = [&](int playIndex) {
      if (playIndex == 0) std::this_thread::sleep_for(c.voice);
    };
    window.engine.tick();
    window.engine.tick();
    EXPECT_EQ(window.frontEnd.timerStarts, c.timerStarts);
    EXPECT_EQ(window.sound.plays.size(), 2u);
  }
}

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
// A worker stuck in a system call cannot be stopped or joined: a close still ends the program,
// with status 0, instead of leaving it running without a window.
TEST(FormEngineDeathTest, ACloseEndsTheProgramEvenWhenTheWorkerIsStuck) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        Window<fakes::StuckSound> window(60000ms);
        window.frontEnd.duringVoice = {[&] {
          while (!window.sound.stuck) std::this_thread::sleep_for(1ms);
          window.engine.close();
          window.frontEnd.loopEnded = true;
        }};
        window.engine.tick();
        std::exit(3);  // the program went on
      },
      testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace tonvela
