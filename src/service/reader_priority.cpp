#include "service/reader_priority.h"

#include <optional>

namespace orvik::service {

std::string RaiseReaderPriority(platform::ThreadPriority& priority) {
  std::optional<std::string> level = priority.RaiseToRealTime();
  if (!level) level = priority.RaiseWithinNormal();
  if (!level) return "Serial line read at normal priority: no right to raise it.";
  return "Serial line read at " + *level + ".";
}

}  // namespace orvik::service
