// SatelliteTracker: the two satellite counts sent and shown with each time
// message ("tracked / visible"), gathered from the GSV sentences of every
// constellation a receiver reports. The whole rule lives here:
//
// - Current receivers send one GSV group per constellation (talkers GP, GL,
//   GA, GB/BD, GQ, ...) and per update. A group is the sentences 1, 2, ..., N
//   of one talker, in that order, each carrying the same total N (field 1)
//   and its own number (field 2).
// - Tracked: the satellites with a non-zero signal-to-noise value in the
//   talker's latest complete group, counted from that group's own sentences
//   only. A group that lost a sentence (a gap, a repeat, a changed total, or
//   no sentence 1) is never complete: the talker keeps the count of its
//   previous complete group.
// - Visible: field 3 (satellites in view) of the talker's latest GSV
//   sentence; every sentence of a group repeats it.
// - The published counts are the sums over the talkers heard recently. A
//   talker counts until kStaleAfterSeconds seconds of receiver time have
//   passed without a complete group of it. Receiver time is read from the
//   RMC sentences: an RMC whose whole second (hhmmss, any fraction ignored)
//   differs from the previous RMC's ages every talker by one second; more
//   RMC in the same second (a 10 Hz receiver, or GPRMC and GNRMC together)
//   age nothing more. So the expiry does not depend on the output rate: a
//   receiver that sends GSV every 5 s keeps its counts at 1 Hz and at 10 Hz
//   alike, and a constellation that falls silent is dropped after 30 s.
// - A GSV sentence with an empty first field zeroes both counts.
// Pure; acquisition thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace orvik::core {

class SatelliteTracker {
 public:
  static constexpr int kStaleAfterSeconds = 30;

  // Takes one GSV sentence: `talker` is its two talker letters, `fields`
  // the body from the comma after the address up to (not including) "*".
  void OnGsv(std::array<char, 2> talker, std::span<const std::uint8_t> fields);
  // Takes one RMC sentence, `fields` as for OnGsv: ages the talkers' counts
  // when its time field starts a new second.
  void OnRmc(std::span<const std::uint8_t> fields);

  // Satellites tracked (non-zero SNR), summed over constellations; at most 255.
  std::uint8_t Tracked() const;
  // Satellites in view, summed over constellations; at most 255.
  std::uint8_t Visible() const;

 private:
  struct Constellation {
    std::array<char, 2> talker{};
    bool used = false;
    int age = 0;      // seconds of RMC time since this talker's last complete group
    int visible = 0;  // field 3 of its latest GSV
    int tracked = 0;  // non-zero SNRs of its latest complete group
    // The group being read: its total, the number of the sentence expected
    // next (0: none is being read), the non-zero SNRs of its sentences so far.
    int group_total = 0;
    int group_next = 0;
    int group_tracked = 0;
  };
  // The whole second of an RMC time field, as the receiver wrote it.
  struct RmcSecond {
    std::array<std::uint8_t, 6> text{};
    std::size_t length = 0;
    friend bool operator==(const RmcSecond&, const RmcSecond&) = default;
  };
  static constexpr std::size_t kMaxConstellations = 8;

  Constellation* Find(std::array<char, 2> talker);

  std::array<Constellation, kMaxConstellations> constellations_{};
  RmcSecond last_rmc_second_{};
};

}  // namespace orvik::core
