#pragma once

#include <string>

#include "platform/runtime_error.h"

namespace tonvela {

// Tells the user about an error that ends the program.
class ErrorReport {
 public:
  virtual ~ErrorReport() = default;
  virtual void report(const RuntimeError& error) = 0;
};

// The report's text, as every front-end shows it: the heading, a blank line, the description.
std::string errorReportText(const RuntimeError& error);

// Writes the report to standard error, with the error's detail when it has one; the window's
// message box comes on top of it.
class StderrErrorReport final : public ErrorReport {
 public:
  void report(const RuntimeError& error) override;
};

}  // namespace tonvela
