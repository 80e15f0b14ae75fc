// The priority of the thread that reads the receiver's line. Under load a
// reading thread at normal priority is run late after its bytes arrive: the
// bursts then seem to start late, and settings of the clock are lost. So the
// acquisition thread raises itself as far as the process may when it starts.
#pragma once

#include <string>

#include "platform/thread_priority.h"

namespace orvik::service {

// In the thread to be raised: real time first, else a raised normal
// priority, else the thread stays as it is. Returns the notice that says
// which, for the operator.
std::string RaiseReaderPriority(platform::ThreadPriority& priority);

}  // namespace orvik::service
