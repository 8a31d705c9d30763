#include <cstdio>

#include "platform/error_report.h"

namespace tonvela {

void StderrErrorReport::report(const RuntimeError& error) {
  // what() holds the heading and the description, as the message box shows them.
  std::fprintf(stderr, "tonvela: %s\n", error.what());
  std::fflush(stderr);
}

}  // namespace tonvela
