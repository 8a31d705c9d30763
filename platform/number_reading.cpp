#include "platform/number_reading.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "platform/runtime_error.h"

namespace tonvela {
namespace {

// Decodes one UTF-8 sequence at text[pos]; returns the code point and advances pos, or returns
// nothing for a malformed, overlong or surrogate sequence.
std::optional<char32_t> decodeUtf8(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  int length = 0;
  char32_t codePoint = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    codePoint = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    codePoint = lead & 0x07;
  } else {
    return std::nullopt;
  }
  if (pos + length > text.size()) return std::nullopt;
  for (int i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  static constexpr char32_t kSmallestOfLength[] = {0, 0, 0x80, 0x800, 0x10000};
  if (codePoint < kSmallestOfLength[length] || codePoint > 0x10FFFF ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return std::nullopt;
  }
  pos += length;
  return codePoint;
}

// Full-width forms typed by Chinese input methods, as their ASCII equivalents.
char32_t asciiEquivalent(char32_t codePoint) {
  if (codePoint >= U'０' && codePoint <= U'９') return U'0' + (codePoint - U'０');
  switch (codePoint) {
    case U'＋':
      return U'+';
    case U'－':
      return U'-';
    case U'．':
      return U'.';
    case U'\u3000':  // ideographic space
      return U' ';
    default:
      return codePoint;
  }
}

// The text with full-width forms folded to ASCII; nothing if it is not valid UTF-8 or holds a
// character that can never be part of a number.
std::optional<std::string> foldToAscii(std::string_view utf8Text) {
  std::string folded;
  folded.reserve(utf8Text.size());
  for (std::size_t pos = 0; pos < utf8Text.size();) {
    const auto codePoint = decodeUtf8(utf8Text, pos);
    if (!codePoint) return std::nullopt;
    const char32_t ascii = asciiEquivalent(*codePoint);
    if (ascii == 0 || ascii >= 0x80) return std::nullopt;
    folded.push_back(static_cast<char>(ascii));
  }
  return folded;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The parts of a number found by the grammar, as views into the folded text.
struct NumberText {
  bool negative = false;
  std::string_view body;  // digits, fraction and exponent, without sign or blanks
};

std::size_t skipDigits(std::string_view text, std::size_t pos) {
  while (pos < text.size() && isDigit(text[pos])) ++pos;
  return pos;
}

std::size_t skipSign(std::string_view text, std::size_t pos) {
  return pos < text.size() && (text[pos] == '+' || text[pos] == '-') ? pos + 1 : pos;
}

// Matches: blanks, sign, digits[.digits] | .digits, optional e[sign]digits, blanks.
std::optional<NumberText> matchNumber(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && isBlank(text[pos])) ++pos;
  NumberText number;
  number.negative = pos < text.size() && text[pos] == '-';
  pos = skipSign(text, pos);

  const std::size_t bodyStart = pos;
  pos = skipDigits(text, pos);
  std::size_t mantissaDigits = pos - bodyStart;
  if (pos < text.size() && text[pos] == '.') {
    const std::size_t fractionStart = pos + 1;
    pos = skipDigits(text, fractionStart);
    mantissaDigits += pos - fractionStart;
  }
  if (mantissaDigits == 0) return std::nullopt;

  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    const std::size_t exponentDigits = skipSign(text, pos + 1);
    pos = skipDigits(text, exponentDigits);
    if (pos == exponentDigits) return std::nullopt;
  }
  number.body = text.substr(bodyStart, pos - bodyStart);

  while (pos < text.size() && isBlank(text[pos])) ++pos;
  if (pos != text.size()) return std::nullopt;
  return number;
}

// For a body beyond what a double holds: whether it is huge (rather than tiny), judged by where
// its first significant digit stands once the exponent has shifted it.
bool isHuge(std::string_view body) {
  const std::size_t exponentMark = std::min(body.find_first_of("eE"), body.size());
  const std::string_view mantissa = body.substr(0, exponentMark);
  const std::size_t firstNonZero = mantissa.find_first_not_of("0.");
  if (firstNonZero == std::string_view::npos) return false;
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const long place = firstNonZero < point ? static_cast<long>(point - firstNonZero)
                                          : -static_cast<long>(firstNonZero - point) + 1;

  long exponent = 0;
  const std::size_t exponentDigits = skipSign(body, exponentMark + 1);
  for (std::size_t i = exponentDigits; i < body.size(); ++i) {
    exponent = std::min(exponent * 10 + (body[i] - '0'), 1'000'000L);  // saturates
  }
  if (exponentDigits > exponentMark + 1 && body[exponentMark + 1] == '-') exponent = -exponent;
  return place + exponent > 0;
}

}  // namespace

std::optional<double> readNumber(std::string_view utf8Text) {
  const auto folded = foldToAscii(utf8Text);
  if (!folded) return std::nullopt;
  const auto number = matchNumber(*folded);
  if (!number) return std::nullopt;

  double magnitude = 0.0;
  const char* first = number->body.data();
  const char* last = first + number->body.size();
  const auto [end, error] = std::from_chars(first, last, magnitude, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    // Beyond what a double holds: huge numbers read as infinity, tiny ones as zero.
    magnitude = isHuge(number->body) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc{} || end != last) {
    return std::nullopt;  // the grammar and from_chars disagree; refuse rather than guess
  }
  return number->negative ? -magnitude : magnitude;
}

std::int16_t toInt16(double value) {
  // nearbyint in the default rounding mode rounds exact halves to the even neighbour.
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) raiseOverflow();
  return static_cast<std::int16_t>(rounded);
}

}  // namespace tonvela
