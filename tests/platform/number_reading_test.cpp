#include "platform/number_reading.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "platform/runtime_error.h"

namespace tonvela {
namespace {

struct ReadCase {
  std::string text;
  std::optional<double> expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ReadNumberTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadNumberTest, TestAndParseAgree) {
  const ReadCase& c = GetParam();
  const std::optional<double> value = readNumber(c.text);
  ASSERT_EQ(value.has_value(), c.expected.has_value());
  EXPECT_EQ(isNumeric(c.text), c.expected.has_value());
  if (c.expected) {
    EXPECT_DOUBLE_EQ(*value, *c.expected);
  }
}

const ReadCase kNumbers[] = {
    {"15", 15.0},
    {"0", 0.0},
    {"-3", -3.0},
    {"+7", 7.0},
    {"2.5", 2.5},
    {".5", 0.5},
    {"5.", 5.0},
    {"1e3", 1000.0},
    {"1E+2", 100.0},
    {"25e-1", 2.5},
    {"  42  ", 42.0},
    {"\t8\t", 8.0},
    {"007", 7.0},
    {"32768", 32768.0},
    {"99999999999999999999", 1e20},
    {"1e999999999999", std::numeric_limits<double>::infinity()},
    {"-1e400", -std::numeric_limits<double>::infinity()},
    {"1e-400", 0.0},
    {"0e99999", 0.0},
    // Full-width forms from Chinese input methods.
    {"１５", 15.0},
    {"－３", -3.0},
    {"＋２．５", 2.5},
    {"\u3000３０\u3000", 30.0},
    {"1５", 15.0},
};
INSTANTIATE_TEST_SUITE_P(Numbers, ReadNumberTest, ::testing::ValuesIn(kNumbers));

const ReadCase kNotNumbers[] = {
    {"", std::nullopt},
    {"   ", std::nullopt},
    {"+", std::nullopt},
    {"-", std::nullopt},
    {".", std::nullopt},
    {"-.", std::nullopt},
    {"e5", std::nullopt},
    {"1e", std::nullopt},
    {"1e+", std::nullopt},
    {"12abc", std::nullopt},
    {"abc", std::nullopt},
    {"1 2", std::nullopt},
    {"1,000", std::nullopt},
    {"1.2.3", std::nullopt},
    {"--1", std::nullopt},
    {"inf", std::nullopt},
    {"-infinity", std::nullopt},
    {"nan", std::nullopt},
    {"0x10", std::nullopt},
    {"&H10", std::nullopt},
    {"$5", std::nullopt},
    {"¥5", std::nullopt},
    {"１,０００", std::nullopt},
    {"五", std::nullopt},
    {"1\n", std::nullopt},
    {std::string("1\0", 2), std::nullopt},
    {std::string("\0", 1), std::nullopt},
    {"\xff", std::nullopt},          // not UTF-8
    {"1\xc0\xb1", std::nullopt},     // overlong encoding of "1"
    {"\xef\xbc", std::nullopt},      // truncated full-width digit
    {"\xed\xa0\x80", std::nullopt},  // surrogate
};
INSTANTIATE_TEST_SUITE_P(NotNumbers, ReadNumberTest, ::testing::ValuesIn(kNotNumbers));

TEST(ReadNumber, IgnoresTheDesktopLocale) {
  // A German or French desktop writes 2,5; the box still reads 2.5 the same way everywhere.
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  for (const char* locale : {"de_DE.UTF-8", "fr_FR.UTF-8", "C.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, locale) == nullptr) continue;
    EXPECT_EQ(readNumber("2.5"), 2.5) << locale;
    EXPECT_EQ(readNumber("2,5"), std::nullopt) << locale;
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
}

struct RoundCase {
  double value;
  int expected;
};

class ToInt16Test : public ::testing::TestWithParam<RoundCase> {};

TEST_P(ToInt16Test, RoundsHalvesToEven) {
  EXPECT_EQ(toInt16(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, ToInt16Test,
                         ::testing::Values(RoundCase{1.0, 1}, RoundCase{0.5, 0}, RoundCase{1.5, 2},
                                           RoundCase{2.5, 2}, RoundCase{3.5, 4},
                                           RoundCase{2.4999, 2}, RoundCase{2.5001, 3},
                                           RoundCase{-2.5, -2}, RoundCase{32767.0, 32767},
                                           RoundCase{32767.4, 32767}, RoundCase{-32768.0, -32768},
                                           RoundCase{-32768.5, -32768}));

TEST(ToInt16, RaisesOverflowOutsideSixteenBits) {
  for (const double value :
       {32767.5, 32768.0, -32768.6, -32769.0, 1e9, 1e300, std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
    try {
      toInt16(value);
      ADD_FAILURE() << "no error for " << value;
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.number(), ErrorNumber::Overflow) << value;
    }
  }
}

}  // namespace
}  // namespace tonvela
