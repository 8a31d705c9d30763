#pragma once

#include <vector>

#include "platform/error_report.h"

namespace tonvela::fakes {

// Keeps the number of each reported error instead of showing it.
class RecordingErrorReport final : public ErrorReport {
 public:
  void report(const RuntimeError& error) override { reported.push_back(error.number()); }
  std::vector<ErrorNumber> reported;
};

}  // namespace tonvela::fakes
