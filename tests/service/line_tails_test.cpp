// Whatever a burst ends with, however its bytes are handed over and however
// long the silence after it, every whole time message of every later burst
// is framed: the receive loop on a scripted line in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/port_settings.h"
#include "support/scripted_run.h"

namespace orvik::testing {
namespace {

struct Tail {
  const char* name;
  std::string bytes;
};

enum class Delivery { kLineRate, kClumps, kAllAtOnceLate };

// A USB adapter with a long latency timer hands over packets; from 58 bytes
// on, a packet takes longer at 4800 baud than a read waits for one byte, so
// reads time out in the middle of a sentence.
constexpr std::size_t kClump = 58;

const char* Name(Delivery delivery) {
  switch (delivery) {
    case Delivery::kLineRate:
      return "line rate";
    case Delivery::kClumps:
      return "clumps of 62";
    case Delivery::kAllAtOnceLate:
      return "all at once, late";
  }
  return "";
}

// Six bursts, each its time message (and `filler`) then `tail`, `silence`
// apart; true when every time message was framed, once and in order.
bool EveryTimeMessageFramed(std::int32_t protocol, std::uint32_t baud, const std::string& filler,
                            const Tail& tail, std::int64_t silence, Delivery delivery) {
  core::Settings settings;
  settings.Protocol = protocol;
  ScriptedRun run(settings);
  const bool nmea = core::IsNmeaProtocol(protocol);
  std::vector<std::string> time_messages;
  std::string all;
  core::MonotonicNanos at = run.SecondStart(0);
  for (int k = 0; k < 6; ++k) {
    const std::string message =
        nmea ? RmcAt(run.SecondUtc(k)) : HbAt(core::DateTimeAt(run.SecondUtc(k)).value());
    time_messages.push_back(nmea ? message.substr(1) : message);
    const std::string burst = message + filler + tail.bytes;
    if (delivery == Delivery::kAllAtOnceLate) {
      all += burst;
      continue;
    }
    at = run.line().AtLineRate(at, burst, baud, delivery == Delivery::kClumps ? kClump : 1) +
         silence;
  }
  if (delivery == Delivery::kAllAtOnceLate) run.line().AllAt(at + 3 * core::kNanosPerSecond, all);
  run.Run(at + 5 * core::kNanosPerSecond);

  std::vector<std::string> framed = run.harness().decoders().Frames();
  framed.erase(std::remove_if(framed.begin(), framed.end(),
                              [&](const std::string& f) {
                                return std::find(time_messages.begin(), time_messages.end(), f) ==
                                       time_messages.end();
                              }),
               framed.end());
  return framed == time_messages;
}

TEST(LineTails, EveryWholeTimeMessageAfterAnyTailIsFramed) {
  const std::string gga = Gga();
  const std::vector<Tail> nmea_tails = {
      {"no tail", ""},
      {"a lone $", "$"},
      {"an address alone", "$GPGSV"},
      {"half a sentence", gga.substr(0, 36)},
      {"cut in the checksum", gga.substr(0, gga.size() - 3)},
      {"no CR LF", gga.substr(0, gga.size() - 2)},
      {"no LF", gga.substr(0, gga.size() - 1)},
      {"noise", "\x01\xff#x"},
  };
  const std::string hb = HbAt(core::DateTime{.year = 2026, .month = 6, .day = 1});
  const std::vector<Tail> motorola_tails = {
      {"no tail", ""},
      {"a lone @", "@"},
      {"a header cut", "@@H"},
      {"a message cut", hb.substr(0, 30)},
      {"no LF", hb.substr(0, hb.size() - 1)},
  };
  struct Line {
    std::int32_t protocol;
    std::uint32_t baud;
    std::string filler;
    const std::vector<Tail>* tails;
    // How long the first read of a step waits on a silent line.
    std::int64_t first_read_ms;
  };
  const Line lines[] = {
      {core::kProtocolNmea4800, 4800, gga + gga, &nmea_tails, 30 + 90},
      {core::kProtocolNmea9600, 9600, gga + gga, &nmea_tails, 15 + 45},
      {core::kProtocolMotorolaM12, 9600, "", &motorola_tails, 4 * 15 + 45},
  };
  for (const Line& line : lines) {
    for (const Tail& tail : *line.tails) {
      // The last: the next burst's first byte comes just as a read on the
      // silent line gives up, so what follows the read must not purge it.
      const std::int64_t give_up =
          line.first_read_ms * core::kNanosPerMilli - core::CharacterNanos(line.baud);
      for (const std::int64_t silence :
           {25 * core::kNanosPerMilli, 60 * core::kNanosPerMilli, 150 * core::kNanosPerMilli,
            400 * core::kNanosPerMilli, 900 * core::kNanosPerMilli, give_up}) {
        for (const Delivery delivery :
             {Delivery::kLineRate, Delivery::kClumps, Delivery::kAllAtOnceLate}) {
          EXPECT_TRUE(EveryTimeMessageFramed(line.protocol, line.baud, line.filler, tail, silence,
                                             delivery))
              << line.baud << " baud, protocol " << line.protocol << ", " << tail.name << ", "
              << silence << " ns silence, " << Name(delivery);
        }
      }
    }
  }
}

}  // namespace
}  // namespace orvik::testing
