#include "platform/posix/posix_capability.h"

#include <sys/capability.h>

#include <memory>
#include <type_traits>

namespace orvik::platform {

namespace {
struct CapFree {
  void operator()(cap_t caps) const { cap_free(caps); }
};
using CapHandle = std::unique_ptr<std::remove_pointer_t<cap_t>, CapFree>;
}  // namespace

bool RaisePermittedCapability(int capability) {
  const CapHandle caps(cap_get_proc());
  if (!caps) return false;
  const cap_value_t wanted[] = {static_cast<cap_value_t>(capability)};
  cap_flag_value_t permitted = CAP_CLEAR;
  if (cap_get_flag(caps.get(), wanted[0], CAP_PERMITTED, &permitted) != 0 || permitted != CAP_SET) {
    return false;
  }
  if (cap_set_flag(caps.get(), CAP_EFFECTIVE, 1, wanted, CAP_SET) != 0) return false;
  return cap_set_proc(caps.get()) == 0;
}

}  // namespace orvik::platform
