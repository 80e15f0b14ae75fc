// The system's own text for a Windows error code (GetLastError()), for
// messages to the operator. Any thread.
#pragma once

#include <windows.h>

#include <string>

namespace orvik::platform {

// E.g. "Access is denied" for ERROR_ACCESS_DENIED: the system's message
// without its trailing period and line break; "error <code>" when the system
// has none.
std::string Win32ErrorText(DWORD error);

}  // namespace orvik::platform
