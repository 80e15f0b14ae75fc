// SatelliteTracker: the two satellite counts sent and shown with each time
// message ("tracked / visible"), gathered from the GSV and GSA sentences of
// every constellation a receiver reports. The whole rule lives here:
//
// - A GSV group is the sentences 1, 2, ..., N of one talker (GP, GL, GA,
//   GB/BD, GQ, ...) and one signal, in that order, each carrying the same
//   total N (field 1) and its own number (field 2). Newer receivers send one
//   group per signal a constellation is tracked on (L1, L5, ...) and name the
//   signal in one hexadecimal digit after the satellite blocks; without that
//   field a talker has one group, as older receivers send it. Each group is
//   complete on its own.
// - Tracked: the distinct satellites (constellation and number) with a
//   non-zero signal-to-noise value on any signal, each group contributing
//   the satellites of its latest complete group. A satellite seen on L1 and
//   L5, or reported by both GB and BD, counts once. A group that lost a
//   sentence (a gap, a repeat, a changed total, or no sentence 1) is never
//   complete: the group keeps its previous complete group's satellites.
// - Satellites in use: the distinct satellites listed in fields 3..14 of the
//   GSA sentences (any talker; a system ID as field 18 names the
//   constellation, else the talker does) of one second of receiver time.
//   The count of a second is closed by the first RMC of the next second and
//   then stands for that whole second, so the RMC that closes it sees every
//   GSA of the second, whether the receiver sends GSA before or after RMC.
//   A fix cannot use a satellite that is not tracked, so the published
//   tracked count is the larger of the GSV count and the closed GSA count.
// - Visible: per constellation, the largest field 3 (satellites in view) of
//   the latest GSV sentence of each of its groups (every signal's group
//   counts the same satellites in view, or fewer); summed over
//   constellations. The satellites listed are not counted: some receivers
//   list more than the in-view field says. A satellite in use is in view, so
//   the closed GSA count is a floor (a receiver that sends GSV every few
//   seconds shows "6 / 6" before its first GSV, not "6 / 0").
// - A group counts until kStaleAfterSeconds seconds of receiver time have
//   passed without a complete group of it. Receiver time is read from the
//   RMC sentences: an RMC whose whole second (hhmmss, any fraction ignored)
//   differs from the previous RMC's ages every group by one second; more RMC
//   in the same second (a 10 Hz receiver, or GPRMC and GNRMC together) age
//   nothing more. So the expiry does not depend on the output rate: a
//   receiver that sends GSV every 5 s keeps its counts at 1 Hz and at 10 Hz
//   alike, and a signal that falls silent is dropped after 30 s.
// - A GSV sentence with an empty first field zeroes both counts (the GSA
//   count included).
// Pure; acquisition thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/distinct_satellites.h"

namespace orvik::core {

class SatelliteTracker {
 public:
  static constexpr int kStaleAfterSeconds = 30;

  // Takes one GSV sentence: `talker` is its two talker letters, `fields`
  // the body from the comma after the address up to (not including) "*".
  void OnGsv(std::array<char, 2> talker, std::span<const std::uint8_t> fields);
  // Takes one GSA sentence, arguments as for OnGsv.
  void OnGsa(std::array<char, 2> talker, std::span<const std::uint8_t> fields);
  // Takes one RMC sentence, `fields` as for OnGsv: ages the groups' counts
  // and closes the GSA count when its time field starts a new second.
  void OnRmc(std::span<const std::uint8_t> fields);

  // Satellites tracked: distinct satellites with a signal, or the closed
  // GSA count when larger; at most 255.
  std::uint8_t Tracked() const;
  // Satellites in view, summed over constellations, or the closed GSA count
  // when larger; at most 255.
  std::uint8_t Visible() const;

 private:
  static constexpr int kNoSignal = -1;
  static constexpr std::size_t kMaxGroups = 24;

  // One talker's GSV group of one signal.
  struct SignalGroup {
    Constellation talker{};
    int signal = kNoSignal;
    bool used = false;
    int age = 0;                          // seconds of RMC time since this group was last complete
    int visible = 0;                      // field 3 of its latest GSV
    DistinctSatellites::Numbers tracked;  // with a signal, in its latest complete group
    // The group being read: its total, the number of the sentence expected
    // next (0: none is being read), the satellites with a signal so far.
    int group_total = 0;
    int group_next = 0;
    DistinctSatellites::Numbers group_tracked;
  };
  // The whole second of an RMC time field, as the receiver wrote it.
  struct RmcSecond {
    std::array<std::uint8_t, 6> text{};
    std::size_t length = 0;
    friend bool operator==(const RmcSecond&, const RmcSecond&) = default;
  };

  SignalGroup& Find(Constellation talker, int signal);

  std::array<SignalGroup, kMaxGroups> groups_{};
  DistinctSatellites in_use_;    // GSA satellites of the second being read
  int in_use_closed_count_ = 0;  // of the second closed last
  RmcSecond last_rmc_second_{};
};

}  // namespace orvik::core
