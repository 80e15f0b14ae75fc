// What the notification-area icon's tooltip says: the program's name and
// its state, so that a look at the icon tells whether the time comes in
// and the clock is kept. Pure functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvik::ui {

// The longest tooltip the notification area takes (its 128 characters
// with the terminating zero).
inline constexpr std::size_t kTrayTipLength = 127;

// "GPS Time" while nothing is known yet (before the first communication
// check); then "GPS Time: No communication!" while nothing comes in,
// "GPS Time: <problem>" while a problem keeps the clock from being set
// ("PC clock not set: no time privilege"), else "GPS Time: receiving,
// <kept>" ("clock kept", or who keeps it). Cut to kTrayTipLength characters.
std::string TrayTipFor(bool state_known, bool communicating, std::string_view clock_problem,
                       std::string_view kept = "clock kept");

}  // namespace orvik::ui
