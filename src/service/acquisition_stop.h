// StopAcquisition: ends the current acquisition thread from the main thread.
//
// The acquisition thread may be waiting for the main thread (log lines, the
// time record for the clients), so the main thread keeps dispatching its
// events while it waits. Every wait of the acquisition thread is bounded and
// ends early on a stop request, so the thread always ends on its own; no
// thread is ever killed.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "service/acquisition_thread.h"
#include "service/shared_state.h"

namespace orvik::service {

// Stops and releases `thread` (may be null). `dispatch_events` runs the main
// thread's pending events. Returns once the thread has ended; `thread` is null.
// Main thread only.
void StopAcquisition(std::unique_ptr<comm_GPS_acq>& thread, SharedState& shared,
                     const std::function<void()>& dispatch_events,
                     std::chrono::milliseconds check_interval = std::chrono::milliseconds(100));

}  // namespace orvik::service
