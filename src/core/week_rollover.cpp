#include "core/week_rollover.h"

#include <cstdlib>

namespace orvik::core {

int RolloverEras(UtcNanos instant, const RolloverCheck& check) {
  if (instant >= check.settable.earliest) return 0;
  for (int eras = 1; eras <= kMaxRolloverEras; ++eras) {
    const UtcNanos corrected = instant + eras * kGpsWeekEraNanos;
    if (check.settable.Contains(corrected) &&
        std::llabs(corrected - check.pc_now) <= kRolloverPcWindowNanos) {
      return eras;
    }
  }
  return 0;
}

}  // namespace orvik::core
