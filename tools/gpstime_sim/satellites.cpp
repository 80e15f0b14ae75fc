#include "gpstime_sim/satellites.h"

namespace orvik::tools {

Satellite SatelliteAt(int index) {
  static constexpr int kPrns[32] = {3, 6, 7, 10, 13, 16, 19, 21, 23, 24, 26, 28, 29, 30, 31, 32,
                                    1, 2, 4, 5,  8,  9,  11, 12, 14, 15, 17, 18, 20, 22, 25, 27};
  const int i = ((index % 32) + 32) % 32;
  return Satellite{kPrns[i], 5 + (i * 37) % 80, (i * 47 + 15) % 360, 30 + (i * 7) % 20};
}

}  // namespace orvik::tools
