#pragma once

#include <exception>
#include <string_view>

#include "platform/error_report.h"
#include "platform/runtime_error.h"

namespace tonvela {

// The status the program ends with after an error that left a handler, on every platform.
inline constexpr int kUnhandledErrorExitStatus = 1;

// Where an event enters our code, in every front-end: runs its handler and hands back the error
// that left it, if one did, so no exception crosses the toolkit's event loop.
template <typename Handler>
std::exception_ptr runAtEventBoundary(Handler&& handler) noexcept {
  try {
    handler();
    return nullptr;
  } catch (...) {
    return std::current_exception();
  }
}

// Tells the user about an error that left a handler: the runtime's numbered errors through the
// error report, anything else (memory exhausted, say) in its own words through reportOther.
template <typename ReportOther>
void reportUnhandled(const std::exception_ptr& error, ErrorReport& errorReport,
                     ReportOther&& reportOther) noexcept {
  try {
    std::rethrow_exception(error);
  } catch (const RuntimeError& runtimeError) {
    errorReport.report(runtimeError);
  } catch (const std::exception& otherError) {
    reportOther(std::string_view(otherError.what()));
  } catch (...) {
    reportOther(std::string_view("unknown error"));
  }
}

}  // namespace tonvela
