// Sorts the GetLastError() code of a failed open of a COM port into the
// fault the operator is told (core/port_open_problem.h). Any thread.
#pragma once

#include <windows.h>

#include "platform/serial_link.h"

namespace orvik::platform {

// The result of a CreateFile() or GetCommState() that failed with `error`:
// no such port (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_INVALID_NAME,
// ERROR_DEV_NOT_EXIST, ERROR_DEVICE_NOT_CONNECTED, ERROR_DEVICE_REMOVED), in
// use (ERROR_ACCESS_DENIED: a COM port is opened exclusively, so another
// program holds it; ERROR_SHARING_VIOLATION, ERROR_BUSY), not a serial port
// (ERROR_INVALID_FUNCTION, ERROR_NOT_SUPPORTED, ERROR_INVALID_HANDLE: the
// name opened a device without comm state), else the system's words.
PortOpenResult PortOpenFailedWithError(DWORD error);

}  // namespace orvik::platform
