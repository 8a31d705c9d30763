#include "core/interval_entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonvela {
namespace {

struct EntryCase {
  std::string text;
  int expected;  // the day interval after the edit, starting from 15
};

void PrintTo(const EntryCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class DayBoxEntryTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(DayBoxEntryTest, StoresUsableTextAndIgnoresTheRest) {
  ReminderState state;
  enterInterval(state, 0, GetParam().text);
  EXPECT_EQ(state.DayInterval, GetParam().expected);
  EXPECT_EQ(state.NightInterval, kLoadState.NightInterval);
  EXPECT_EQ(state.ElapsedMinutes, 0);
}

INSTANTIATE_TEST_SUITE_P(Accepted, DayBoxEntryTest,
                         ::testing::Values(EntryCase{"1", 1}, EntryCase{"1.0", 1},
                                           EntryCase{"2.5", 2}, EntryCase{"3.5", 4},
                                           EntryCase{"1.5", 2}, EntryCase{"30", 30},
                                           EntryCase{" 45 ", 45}, EntryCase{"6e1", 60},
                                           EntryCase{"32767", 32767}, EntryCase{"32767.4", 32767},
                                           EntryCase{"１５", 15}, EntryCase{"２０", 20},
                                           EntryCase{"０．９e1", 9}));

// Unusable text leaves the interval at its last value, 15, and never ends the program.
INSTANTIATE_TEST_SUITE_P(
    Ignored, DayBoxEntryTest,
    ::testing::Values(EntryCase{"", 15}, EntryCase{"   ", 15}, EntryCase{"0", 15},
                      EntryCase{"0.6", 15}, EntryCase{"0.999", 15}, EntryCase{"-3", 15},
                      EntryCase{"-0", 15}, EntryCase{"12abc", 15}, EntryCase{"abc", 15},
                      EntryCase{"1,000", 15}, EntryCase{"inf", 15}, EntryCase{"nan", 15},
                      EntryCase{"32767.5", 15}, EntryCase{"32768", 15}, EntryCase{"1e9", 15},
                      EntryCase{"1e999", 15}, EntryCase{std::string(400, '9'), 15},
                      EntryCase{std::string("2\0", 2), 15}, EntryCase{"\xff\xfe", 15}));

TEST(IntervalEntry, FollowsTheBoxKeystrokeByKeystroke) {
  struct Step {
    int box;
    std::string text;
    int day;
    int night;
  };
  // Selecting "15" and typing 30, then deleting it all, then editing the night box.
  const std::vector<Step> steps = {
      {0, "3", 3, 25},   {0, "30", 30, 25},   {0, "3", 3, 25},       {0, "", 3, 25},
      {1, "2", 3, 2},    {1, "", 3, 2},       {1, "4", 3, 4},        {1, "40", 3, 40},
      {1, "40x", 3, 40}, {0, "32768", 3, 40}, {0, "3276", 3276, 40},
  };
  ReminderState state;
  for (const Step& step : steps) {
    enterInterval(state, static_cast<std::int16_t>(step.box), step.text);
    EXPECT_EQ(state.DayInterval, step.day) << "after \"" << step.text << '"';
    EXPECT_EQ(state.NightInterval, step.night) << "after \"" << step.text << '"';
  }
}

TEST(IntervalEntry, OtherBoxIndexesChangeNothing) {
  for (const std::int16_t index : {-1, 2, 3, 32767, -32768}) {
    ReminderState state;
    enterInterval(state, index, "5");
    EXPECT_EQ(state.DayInterval, kLoadState.DayInterval) << index;
    EXPECT_EQ(state.NightInterval, kLoadState.NightInterval) << index;
  }
}

}  // namespace
}  // namespace tonvela
