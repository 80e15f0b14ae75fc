#include "fakes/faulty_serial_link.h"

namespace orvik::testing {

platform::ReadOutcome FaultySerialLink::ReadExact(std::span<std::uint8_t> buffer) {
  if (failing_reads_.contains(++reads_)) return {false, 0};
  return inner_.ReadExact(buffer);
}

platform::ReadOutcome FaultySerialLink::ReadOne(std::uint8_t& byte) {
  if (failing_reads_.contains(++reads_)) return {false, 0};
  return inner_.ReadOne(byte);
}

void FaultySerialLink::WritePort(std::span<const std::uint8_t> bytes) {
  if (failing_writes_.contains(++writes_)) return;
  inner_.WritePort(bytes);
}

}  // namespace orvik::testing
