#pragma once

#include "platform/clock.h"

namespace tonvela {

// The machine's clock in the user's time zone.
class SystemClock final : public Clock {
 public:
  LocalDateTime now() const override;
};

}  // namespace tonvela
