#include <cstdio>

#include "error_report.h"

namespace tonvela {

void StderrErrorReport::report(const RuntimeError& error) {
  const std::string heading = errorHeading(error.number());
  const std::string_view description = errorDescription(error.number());
  std::fprintf(stderr, "tonvela: %s %.*s\n", heading.c_str(), static_cast<int>(description.size()),
               description.data());
  std::fflush(stderr);
}

}  // namespace tonvela
