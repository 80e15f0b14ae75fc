// libFuzzer target: bursts of whole NMEA time messages, each followed by a
// tail of any bytes, a silence of 25 to 900 ms, and bytes handed over in
// clumps of any size up to 4 KiB, through the real receive loop on a
// scripted line in virtual time. Every whole RMC that follows a silence must
// be framed; anything else aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/port_settings.h"
#include "support/scripted_run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvik;
  if (size < 1) return 0;
  core::Settings settings;
  settings.Protocol = (data[0] & 1) ? core::kProtocolNmea9600 : core::kProtocolNmea4800;
  const std::uint32_t baud = (data[0] & 1) ? 9600 : 4800;
  testing::ScriptedRun run(settings);
  std::vector<std::string> rmcs;
  core::MonotonicNanos at = run.SecondStart(0);
  std::size_t i = 1;
  for (int k = 0; k < 8 && i + 3 <= size; ++k) {
    const std::size_t tail_length = std::min<std::size_t>(data[i], size - i - 3);
    const std::int64_t silence_ms = 25 + data[i + 1] * 875 / 255;
    const std::size_t clump = 1 + (static_cast<std::size_t>(data[i + 2]) << 4);
    const std::string tail(reinterpret_cast<const char*>(data + i + 3), tail_length);
    i += 3 + tail_length;
    const std::string rmc = testing::RmcAt(run.SecondUtc(k));
    rmcs.push_back(rmc.substr(1));
    at = run.line().AtLineRate(at, rmc + tail, baud, clump) + silence_ms * core::kNanosPerMilli;
  }
  run.Run(at + 3 * core::kNanosPerSecond);
  const std::vector<std::string> frames = run.harness().decoders().Frames();
  for (const std::string& rmc : rmcs) {
    if (std::find(frames.begin(), frames.end(), rmc) == frames.end()) std::abort();
  }
  return 0;
}
