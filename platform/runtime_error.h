#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tonvela {

// Error numbers as the user sees them in the error report.
enum class ErrorNumber : int {
  Overflow = 6,
  OutOfMemory = 7,
  InternalError = 51,
  DllEntryNotFound = 453,
};

// An error raised by the runtime services. Nothing in the reminder handles it: it travels up to
// the point where the event entered our code, which reports it and ends the program.
class RuntimeError : public std::runtime_error {
 public:
  // detail: what went wrong in other words than the error's own (a library's message), for
  // whoever reads standard error; the user's report shows the number and description only.
  explicit RuntimeError(ErrorNumber number, std::string detail = {});

  ErrorNumber number() const noexcept { return number_; }
  const std::string& detail() const noexcept { return detail_; }

 private:
  ErrorNumber number_;
  std::string detail_;
};

[[noreturn]] void raiseOverflow();

// Any error as the runtime reports it: its own numbered errors as they are, memory exhausted as
// error 7, anything else as an internal error with its own words kept as the detail.
RuntimeError asRuntimeError(const std::exception_ptr& error);

// The short description in simplified Chinese, e.g. "溢出" for the overflow.
std::string_view errorDescription(ErrorNumber number);

// The heading of the report, e.g. "运行时错误 '6':".
std::string errorHeading(ErrorNumber number);

}  // namespace tonvela
