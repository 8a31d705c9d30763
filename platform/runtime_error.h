#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tonvela {

// Error numbers as the user sees them in the error report.
enum class ErrorNumber : int {
  Overflow = 6,
  FileNotFound = 53,
  DllEntryNotFound = 453,
};

// An error raised by the runtime services. Nothing in the reminder handles it: it travels up to
// the point where the event entered our code, which reports it and ends the program.
class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(ErrorNumber number);

  ErrorNumber number() const noexcept { return number_; }

 private:
  ErrorNumber number_;
};

[[noreturn]] void raiseOverflow();

// The short description in simplified Chinese, e.g. "溢出" for the overflow.
std::string_view errorDescription(ErrorNumber number);

// The heading of the report, e.g. "运行时错误 '6':".
std::string errorHeading(ErrorNumber number);

}  // namespace tonvela
