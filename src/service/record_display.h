// Shows a time record received from the time service in the shared display
// state, as the acquisition shows a receiver message it accepted: the three
// texts, NewDisplayFlag, DataSeenFlag and NoSatFlag. The desktop program
// beside the service displays the service's time this way, with the status
// window's usual timers. Any thread.
#pragma once

#include "core/time_message.h"
#include "service/shared_state.h"

namespace orvik::service {

void ShowRecord(const core::TimeMessage& record, DisplayState& display);

}  // namespace orvik::service
