#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "tests/platform/sound/sink_recorder.h"

namespace tonvela::test {

// The recording holds the reference once, within the limits, and nothing else.
inline void expectHeard(const std::vector<double>& recorded, const std::vector<double>& reference,
                        const HeardLimits& limits = {}) {
  const EnvelopeMatch match = matchEnvelope(recorded, reference);
  EXPECT_TRUE(heardWithin(match, limits))
      << "correlation " << match.correlation << ", gain " << match.gain << ", stray level "
      << match.strayLevel;
}

}  // namespace tonvela::test
