#pragma once

#include "platform/runtime_error.h"

namespace tonvela {

// Tells the user about an error that ends the program.
class ErrorReport {
 public:
  virtual ~ErrorReport() = default;
  virtual void report(const RuntimeError& error) = 0;
};

// Writes the report to standard error; the window adds a message box on top of it.
class StderrErrorReport final : public ErrorReport {
 public:
  void report(const RuntimeError& error) override;
};

}  // namespace tonvela
