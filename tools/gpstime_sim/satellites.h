// A fixed sky of 32 satellites shared by the NMEA and Motorola messages of
// the simulator, so both describe the same constellation. Pure; any thread.
#pragma once

namespace orvik::tools {

struct Satellite {
  int prn = 0;        // 1..32, each once
  int elevation = 0;  // degrees, 5..84
  int azimuth = 0;    // degrees, 0..359
  int snr = 0;        // dB-Hz while tracked, 30..49
};

// Returns satellite `index` (0..31) of the sky; the order is the one in which
// satellites count as visible and tracked.
Satellite SatelliteAt(int index);

}  // namespace orvik::tools
