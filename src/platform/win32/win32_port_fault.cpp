#include "platform/win32/win32_port_fault.h"

#include "platform/win32/win32_error_text.h"

namespace orvik::platform {

PortOpenResult PortOpenFailedWithError(DWORD error) {
  using core::PortFault;
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
      return PortOpenResult::Failed(PortFault::kNoSuchPort);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return PortOpenResult::Failed(PortFault::kInUse);
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_HANDLE:
      return PortOpenResult::Failed(PortFault::kNotSerialPort);
    default:
      return PortOpenResult::Failed(PortFault::kOther, Win32ErrorText(error));
  }
}

}  // namespace orvik::platform
