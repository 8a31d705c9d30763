#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>
#include <ctime>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include "platform/clock.h"
#include "platform/error_report.h"
#include "platform/runtime_error.h"
#include "platform/system_clock.h"

namespace tonvela {
namespace {

TEST(HourText, IsTwoDigitsOnATwentyFourHourClock) {
  const std::pair<int, const char*> cases[] = {{0, "00"},  {7, "07"},  {8, "08"},
                                               {12, "12"}, {17, "17"}, {23, "23"}};
  for (const auto& [hour, text] : cases) {
    EXPECT_EQ(hourText(LocalDateTime{2026, 1, 1, hour, 30, 0}), text) << hour;
  }
}

// The C runtime's own TZ, which its localtime reads: POSIX setenv, or _putenv_s on Windows,
// where an empty value removes the variable.
void setTimeZoneVariable(const char* value) {
#ifdef _WIN32
  _putenv_s("TZ", value == nullptr ? "" : value);
#else
  if (value == nullptr) {
    unsetenv("TZ");
  } else {
    setenv("TZ", value, 1);
  }
#endif
}

// Sets TZ for the life of the object; POSIX zone strings need no tzdata.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old;
    setTimeZoneVariable(zone);
  }
  ~ScopedTimeZone() { setTimeZoneVariable(saved_.empty() ? nullptr : saved_.c_str()); }

 private:
  std::string saved_;
};

int minutesOfDay(const LocalDateTime& t) { return t.hour * 60 + t.minute; }

#ifdef _WIN32
// Windows' own zone rules, whatever TZ the C runtime was given: a zone far east and one far west
// of any other, so one of them is hours off the one Windows is set to.
TEST(SystemClock, ReadsWindowsLocalTimeWhateverTheTZVariableSays) {
  SystemClock clock;
  for (const char* zone : {"XST-12", "YST+11"}) {
    ScopedTimeZone scoped(zone);
    SYSTEMTIME windows{};
    GetLocalTime(&windows);
    const LocalDateTime reading = clock.now();
    // Taken moments apart; allow one minute between them, across midnight too.
    const int difference =
        (minutesOfDay(reading) - (windows.wHour * 60 + windows.wMinute) + 24 * 60) % (24 * 60);
    EXPECT_TRUE(difference <= 1 || difference == 24 * 60 - 1)
        << "TZ=" << zone << ": " << reading.hour << ":" << reading.minute << " against Windows' "
        << windows.wHour << ":" << windows.wMinute;
  }
}
#else
TEST(SystemClock, FollowsTheLocalTimeZone) {
  SystemClock clock;
  LocalDateTime utc;
  LocalDateTime beijing;
  {
    ScopedTimeZone zone("UTC0");
    utc = clock.now();
  }
  {
    ScopedTimeZone zone("CST-8");  // UTC+8, as in China
    beijing = clock.now();
  }
  // The two readings are taken moments apart; allow one minute between them.
  const int difference = (minutesOfDay(beijing) - minutesOfDay(utc) + 24 * 60) % (24 * 60);
  EXPECT_GE(difference, 8 * 60);
  EXPECT_LE(difference, 8 * 60 + 1);
}
#endif

TEST(RuntimeError, ReportsNumberAndChineseDescription) {
  const RuntimeError error(ErrorNumber::Overflow);
  EXPECT_EQ(errorHeading(error.number()), "运行时错误 '6':");
  EXPECT_EQ(errorDescription(error.number()), "溢出");
  EXPECT_THROW(raiseOverflow(), RuntimeError);
}

// Whatever leaves a handler reaches the user as one of the runtime's numbered errors, so every
// front-end shows the same report for it.
TEST(RuntimeError, EveryErrorIsReportedAsANumberedOne) {
  struct Case {
    std::exception_ptr error;
    ErrorNumber number;
    std::string detail;
    std::string text;
  };
  const Case cases[] = {
      {std::make_exception_ptr(RuntimeError(ErrorNumber::Overflow)), ErrorNumber::Overflow, "",
       "运行时错误 '6':\n\n溢出"},
      {std::make_exception_ptr(std::bad_alloc()), ErrorNumber::OutOfMemory, "",
       "运行时错误 '7':\n\n内存溢出"},
      {std::make_exception_ptr(std::logic_error("broken")), ErrorNumber::InternalError, "broken",
       "运行时错误 '51':\n\n内部错误"},
      {std::make_exception_ptr(42), ErrorNumber::InternalError, "", "运行时错误 '51':\n\n内部错误"},
  };
  for (const Case& c : cases) {
    const RuntimeError reported = asRuntimeError(c.error);
    EXPECT_EQ(reported.number(), c.number);
    EXPECT_EQ(reported.detail(), c.detail);
    EXPECT_EQ(errorReportText(reported), c.text);
  }
}

}  // namespace
}  // namespace tonvela
