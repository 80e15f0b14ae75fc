// Sorts the errno of a failed open of a serial device into the fault the
// operator is told (core/port_open_problem.h). Pure; any thread.
#pragma once

#include "platform/serial_link.h"

namespace orvik::platform {

// The result of an open() or tcgetattr() that failed with `error`: no such
// port (ENOENT, ENODEV, ENXIO, ENOTDIR, ELOOP, EIO: a ttyS without a UART),
// in use (EBUSY: another program set TIOCEXCL), no permission (EACCES,
// EPERM, EROFS), not a serial port (ENOTTY, EINVAL, EISDIR), else the
// system's words.
PortOpenResult PortOpenFailedWithErrno(int error);

}  // namespace orvik::platform
