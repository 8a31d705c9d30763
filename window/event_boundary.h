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

// Runs one event's handler where it enters our code, the same in every front-end. Once the program
// is ending no handler runs: events still queued must not run the reminder again. An error that
// leaves the handler ends the program: `stopEvents` first (the report's message box runs an event
// loop of its own, in which no further tick or edit may reach the reminder), then the report, then
// `endProgram`.
template <typename Handler, typename StopEvents, typename EndProgram>
void deliver(bool& ending, ErrorReport& errorReport, Handler&& handler, StopEvents&& stopEvents,
             EndProgram&& endProgram) noexcept {
  if (ending) {
    return;
  }
  const std::exception_ptr error = runAtEventBoundary(handler);
  if (!error) {
    return;
  }
  ending = true;
  stopEvents();
  reportUnhandled(error, errorReport);
  endProgram();
}

}  // namespace tonvela
