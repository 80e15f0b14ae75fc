// SatelliteTracker: the two satellite counts from GSV sentences of every
// constellation a receiver reports.
//
// Current receivers report one GSV group per constellation (talkers GP,
// GL, GA, GB/BD, GQ, ...). For each talker the tracker keeps the latest
// "in view" count (field 3 of any of its GSV sentences) and the number of
// satellites of its latest complete group with a non-zero signal-to-noise
// value, which is what the receiver actually tracks. The published counts
// are the sums over the talkers heard recently: a constellation whose GSV
// has not been seen for kStaleAfterRmc RMC sentences no longer counts.
// A GSV sentence with an empty first field zeroes both counts.
// Pure; acquisition thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace orvik::core {

class SatelliteTracker {
 public:
  static constexpr int kStaleAfterRmc = 30;

  // Takes one GSV sentence: `talker` is its two talker letters, `fields`
  // the body from the comma after the address up to (not including) "*".
  void OnGsv(std::array<char, 2> talker, std::span<const std::uint8_t> fields);
  // Ages the talkers' counts by one RMC sentence.
  void OnRmc();

  // Satellites tracked (non-zero SNR), summed over constellations; at most 255.
  std::uint8_t Tracked() const;
  // Satellites in view, summed over constellations; at most 255.
  std::uint8_t Visible() const;

 private:
  struct Constellation {
    std::array<char, 2> talker{};
    bool used = false;
    int age = 0;                  // RMC sentences since this talker's last GSV
    int visible = 0;              // field 3 of its latest GSV
    int tracked = 0;              // non-zero SNRs of its latest complete group
    int tracked_in_progress = 0;  // non-zero SNRs of the group being read
  };
  static constexpr std::size_t kMaxConstellations = 8;

  Constellation* Find(std::array<char, 2> talker);

  std::array<Constellation, kMaxConstellations> constellations_{};
};

}  // namespace orvik::core
