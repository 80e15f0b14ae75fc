// StatusSnapshot: what the operator is shown of the running system, taken
// whole by each status tick (service/status_ticks.h) and handed to every
// front end: the status windows draw it, the headless program reports its
// changes. Front ends only display it; the rules that fill it live in the
// service.
#pragma once

#include <string>

#include "core/decoded_message.h"

namespace orvik::service {

struct StatusSnapshot {
  // Which tick took it: the 1-second display tick or the 3-second
  // communication check.
  enum class Tick { kDisplay, kCommunication };
  Tick tick = Tick::kDisplay;

  // The receiver's latest texts; `new_texts`: a message changed them since
  // the last display tick (set on display ticks only).
  core::DisplayTexts texts{};
  bool new_texts = false;

  // The latest communication period: `checked` once one has ended,
  // `receiving` when an accepted time message came during it, and
  // `no_satellites` when the latest one tracked no satellite.
  bool communication_checked = false;
  bool receiving = false;
  bool no_satellites = false;

  // Sentences shown while their problem lasts; empty: none. Why the
  // receiver port is not open, why the PC clock is not kept, that the LAN
  // service is full.
  std::string receiver_port_problem{};
  std::string clock_problem{};
  std::string lan_problem{};
};

}  // namespace orvik::service
