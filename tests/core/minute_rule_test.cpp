#include "core/minute_rule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/runtime_error.h"
#include "tests/support/fake_clock.h"
#include "tests/support/recording_sound.h"

namespace tonvela {
namespace {

using fakes::FakeClock;
using fakes::RecordingSound;

TEST(IsDayHour, DayRunsFromEightToBeforeSix) {
  const std::pair<const char*, bool> cases[] = {
      {"00", false}, {"07", false}, {"08", true},  {"12", true},
      {"17", true},  {"18", false}, {"23", false},
  };
  for (const auto& [hour, day] : cases) EXPECT_EQ(isDayHour(hour), day) << hour;
}

std::string clockText(const LocalDateTime& t) {
  return hourText(t) + ":" + std::to_string(t.minute / 10) + std::to_string(t.minute % 10);
}

// Runs the minute rule once a minute from the clock's time on, and lists when the voice played.
struct Schedule {
  ReminderState state;
  FakeClock clock;
  RecordingSound sound;
  std::vector<std::string> playedAt;

  void runMinutes(int minutes) {
    for (int i = 0; i < minutes; ++i) {
      clock.advanceMinutes(1);
      const std::size_t before = sound.plays.size();
      runMinuteTick(state, clock, sound);
      if (sound.plays.size() > before) playedAt.push_back(clockText(clock.time));
    }
  }
};

TEST(MinuteRule, PlaysEveryDayIntervalAfterAMorningStart) {
  Schedule schedule;
  schedule.clock.set(9, 0);
  schedule.runMinutes(14);
  EXPECT_TRUE(schedule.playedAt.empty()) << "nothing plays before the 15th minute";
  schedule.runMinutes(46);
  EXPECT_EQ(schedule.playedAt, (std::vector<std::string>{"09:15", "09:30", "09:45", "10:00"}));
  EXPECT_EQ(schedule.sound.plays.front().fileName, "语音文件.WAV");
}

TEST(MinuteRule, CounterCarriesOverFromDayIntoNight) {
  Schedule schedule;
  schedule.clock.set(17, 30);
  schedule.runMinutes(15 + 60);  // to 18:45
  EXPECT_EQ(schedule.playedAt, (std::vector<std::string>{"17:45", "18:10", "18:35"}));
}

TEST(MinuteRule, NightTurnsToDayAtEight) {
  Schedule schedule;
  schedule.clock.set(7, 40);
  schedule.runMinutes(40);  // to 08:20: 20 minutes at 08:00 is below 25 but above 15
  EXPECT_EQ(schedule.playedAt, (std::vector<std::string>{"08:00", "08:15"}));
}

TEST(MinuteRule, IntervalInForceFollowsTheHourOfTheTick) {
  // With the counter one short of 20, a tick plays only where the interval in force is 20.
  struct Case {
    int hour;
    int minute;
    bool plays;
  };
  const Case cases[] = {{7, 59, false}, {8, 0, true},   {12, 0, true},
                        {17, 59, true}, {18, 0, false}, {0, 0, false}};
  for (const Case& c : cases) {
    ReminderState state{19, 20, 30};
    FakeClock clock;
    clock.set(c.hour, c.minute);
    RecordingSound sound;
    runMinuteTick(state, clock, sound);
    EXPECT_EQ(sound.plays.size(), c.plays ? 1u : 0u) << c.hour << ":" << c.minute;
    EXPECT_EQ(state.ElapsedMinutes, c.plays ? 0 : 20) << c.hour << ":" << c.minute;
  }
}

TEST(MinuteRule, ReadsTheClockOncePerTick) {
  ReminderState state;
  FakeClock clock;
  RecordingSound sound;
  runMinuteTick(state, clock, sound);
  EXPECT_EQ(clock.readings, 1);
}

TEST(MinuteRule, LoweringTheIntervalBelowTheCountPlaysAtTheNextTick) {
  Schedule schedule;
  schedule.clock.set(10, 0);
  schedule.state.DayInterval = 30;
  schedule.runMinutes(20);
  schedule.state.DayInterval = 5;
  schedule.runMinutes(1);
  EXPECT_EQ(schedule.playedAt, (std::vector<std::string>{"10:21"}));
  EXPECT_EQ(schedule.state.ElapsedMinutes, 0);
}

TEST(MinuteRule, RaisingTheIntervalDoesNotResetTheCount) {
  Schedule schedule;
  schedule.clock.set(10, 0);
  schedule.runMinutes(10);
  schedule.state.DayInterval = 40;
  schedule.runMinutes(29);
  EXPECT_TRUE(schedule.playedAt.empty());
  EXPECT_EQ(schedule.state.ElapsedMinutes, 39);
  schedule.runMinutes(1);
  EXPECT_EQ(schedule.playedAt, (std::vector<std::string>{"10:40"}));
}

TEST(MinuteRule, FailedPlaybackStillStartsAFullIntervalAgain) {
  Schedule schedule;
  schedule.clock.set(9, 0);
  schedule.sound.succeeds = false;
  schedule.runMinutes(31);
  EXPECT_EQ(schedule.playedAt, (std::vector<std::string>{"09:15", "09:30"}));
  EXPECT_EQ(schedule.state.ElapsedMinutes, 1);
}

TEST(MinuteRule, CountIsStoredBeforeThePlaybackAndResetAfterIt) {
  ReminderState state{14, 15, 25};
  FakeClock clock;
  RecordingSound sound;
  int countWhilePlaying = -1;
  sound.whilePlaying = [&](int) { countWhilePlaying = state.ElapsedMinutes; };
  runMinuteTick(state, clock, sound);
  EXPECT_EQ(countWhilePlaying, 15);
  EXPECT_EQ(state.ElapsedMinutes, 0);
}

TEST(MinuteRule, ErrorFromTheSoundCallLeavesTheIncrementStored) {
  ReminderState state{14, 15, 25};
  FakeClock clock;
  RecordingSound sound;
  sound.whilePlaying = [](int) { throw RuntimeError(ErrorNumber::DllEntryNotFound); };
  EXPECT_THROW(runMinuteTick(state, clock, sound), RuntimeError);
  EXPECT_EQ(state.ElapsedMinutes, 15);
}

TEST(MinuteRule, CounterGuardRaisesOverflowAndChangesNothing) {
  ReminderState state{32767, 32767, 32767};
  FakeClock clock;
  RecordingSound sound;
  try {
    runMinuteTick(state, clock, sound);
    FAIL() << "no overflow at 32767";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), ErrorNumber::Overflow);
  }
  EXPECT_EQ(state.ElapsedMinutes, 32767);
  EXPECT_EQ(clock.readings, 0);
  EXPECT_TRUE(sound.plays.empty());
}

TEST(MinuteRule, LargestIntervalPlaysAtTheLastCountBeforeTheGuard) {
  ReminderState state{32766, 32767, 32767};
  FakeClock clock;
  RecordingSound sound;
  runMinuteTick(state, clock, sound);
  EXPECT_EQ(sound.plays.size(), 1u);
  EXPECT_EQ(state.ElapsedMinutes, 0);
}

}  // namespace
}  // namespace tonvela
