#pragma once

#include <exception>

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

// Tells the user about an error that left a handler, whatever it was, through the one report:
// the same message box for an overflow as for memory exhausted.
inline void reportUnhandled(const std::exception_ptr& error, ErrorReport& errorReport) noexcept {
  try {
    errorReport.report(asRuntimeError(error));
  } catch (...) {
    // A report that fails in turn leaves nothing to tell the user with; the program still ends.
  }
}

}  // namespace tonvela
