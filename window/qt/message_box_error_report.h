#pragma once

#include <QString>

#include "platform/error_report.h"

namespace tonvela::qt {

// Reports an error that ends the program in a message box titled with the program's name, and on
// standard error for whoever started the program from a terminal.
class MessageBoxErrorReport final : public ErrorReport {
 public:
  void report(const RuntimeError& error) override;

 private:
  StderrErrorReport stderrReport_;
};

}  // namespace tonvela::qt
