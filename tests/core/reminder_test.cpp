#include "core/reminder.h"

#include <gtest/gtest.h>

#include "tests/support/fake_clock.h"
#include "tests/support/recording_sound.h"

namespace tonvela {
namespace {

using fakes::FakeClock;
using fakes::RecordingSound;

TEST(Reminder, LoadStartsFromTheSameValuesEveryTime) {
  FakeClock clock;
  RecordingSound sound;
  Reminder reminder(clock, sound);
  reminder.Text1_Change(0, "3");
  reminder.Text1_Change(1, "4");
  reminder.Timer1_Timer();
  reminder.Form_Load();
  EXPECT_EQ(reminder.state().ElapsedMinutes, 0);
  EXPECT_EQ(reminder.state().DayInterval, 15);
  EXPECT_EQ(reminder.state().NightInterval, 25);
}

TEST(Reminder, TypedIntervalIsUsedAtTheNextTick) {
  FakeClock clock;
  clock.set(22, 0);
  RecordingSound sound;
  Reminder reminder(clock, sound);
  reminder.Form_Load();
  reminder.Text1_Change(0, "1");  // the day box does not govern the night
  reminder.Timer1_Timer();
  EXPECT_TRUE(sound.plays.empty());
  reminder.Text1_Change(1, "2");
  reminder.Timer1_Timer();
  EXPECT_EQ(sound.plays.size(), 1u);
}

}  // namespace
}  // namespace tonvela
