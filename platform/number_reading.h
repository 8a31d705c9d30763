#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tonvela {

// One grammar serves the numeric test and the parse, so no text passes the test and then reads as
// a different number. Accepted, as a whole: optional blanks, an optional sign, digits with an
// optional fraction after a full stop (".5" and "5." included), an optional exponent, optional
// blanks. Full-width digits, signs and full stop, and the ideographic space, count as their ASCII
// forms, since Chinese input methods type them. Anything else (grouping, currency, hexadecimal,
// "inf", "nan", invalid UTF-8, NUL) is not a number. The reading does not depend on the locale.
std::optional<double> readNumber(std::string_view utf8Text);

inline bool isNumeric(std::string_view utf8Text) { return readNumber(utf8Text).has_value(); }

// Rounds to the nearest integer, exact halves to the even neighbour. Raises the overflow error
// when the result lies outside -32768..32767 (NaN included).
std::int16_t toInt16(double value);

}  // namespace tonvela
