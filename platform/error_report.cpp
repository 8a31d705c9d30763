#include "platform/error_report.h"

#include <cstdio>

namespace tonvela {

std::string errorReportText(const RuntimeError& error) {
  return errorHeading(error.number()) + "\n\n" + std::string(errorDescription(error.number()));
}

void StderrErrorReport::report(const RuntimeError& error) {
  // what() holds the heading and the description, as the message box shows them.
  std::fprintf(stderr, "tonvela: %s\n", error.what());
  if (!error.detail().empty()) {
    std::fprintf(stderr, "tonvela: %s\n", error.detail().c_str());
  }
  std::fflush(stderr);
}

}  // namespace tonvela
