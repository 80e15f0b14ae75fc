// The periods and pauses of the service, defined once: the desktop programs
// and the headless program run the same system on the same clock. The
// service runs the periods on the main loop's timers (the display tick is
// the status window's Timer1 of the form, the communication check its
// Timer2, the watchdog the hidden main window's Timer1).
#pragma once

#include <chrono>

namespace orvik::service {

// The 1-second tick: summer/zone check and display copy (in the desktop
// program also the auto-hide). It runs once a start-up sequence has completed.
inline constexpr std::chrono::milliseconds kDisplayTickInterval{1000};
// The communication check: "No communication!" when no time message was
// accepted during a whole period.
inline constexpr std::chrono::milliseconds kCommunicationCheckInterval{3000};
// The watchdog: restarts an acquisition whose loop did not run for a whole
// period, and retries a start-up sequence that failed.
inline constexpr std::chrono::milliseconds kWatchdogInterval{60'000};
// A receiver port that could not be opened, or that hung up (an adapter
// unplugged), is opened again this long after the last attempt, so a
// receiver plugged back in is used within seconds.
inline constexpr std::chrono::milliseconds kReopenInterval{5'000};
// A restart's pause between stopping the acquisition and starting it again.
inline constexpr std::chrono::milliseconds kRestartPause{3000};

}  // namespace orvik::service
