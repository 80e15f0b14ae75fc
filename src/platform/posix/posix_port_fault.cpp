#include "platform/posix/posix_port_fault.h"

#include <cerrno>
#include <system_error>

namespace orvik::platform {

PortOpenResult PortOpenFailedWithErrno(int error) {
  using core::PortFault;
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
    case ELOOP:
    case EIO:
      return PortOpenResult::Failed(PortFault::kNoSuchPort);
    case EBUSY:
      return PortOpenResult::Failed(PortFault::kInUse);
    case EACCES:
    case EPERM:
    case EROFS:
      return PortOpenResult::Failed(PortFault::kNoPermission);
    case ENOTTY:
    case EINVAL:
    case EISDIR:
      return PortOpenResult::Failed(PortFault::kNotSerialPort);
    default:
      return PortOpenResult::Failed(PortFault::kOther, std::generic_category().message(error));
  }
}

}  // namespace orvik::platform
