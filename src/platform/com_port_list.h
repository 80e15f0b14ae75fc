// ComPortList: the serial ports that exist on this machine now, and the COM
// number that reaches each (platform/com_port_path.h says what COM<n> opens),
// for the setup dialog to offer. Listing never opens a port.
// Threads: any, one call at a time per object.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvik::platform {

struct ComPortEntry {
  // The COM number that opens this port; none: no COM<n> reaches it (a
  // device the working folder has no COM<n> link to).
  std::optional<std::uint8_t> number;
  // What the port is: the device ("/dev/ttyUSB0", "\Device\Serial0"), or
  // empty when the name itself is all there is to say.
  std::string device;

  friend bool operator==(const ComPortEntry&, const ComPortEntry&) = default;
};

class ComPortList {
 public:
  virtual ~ComPortList() = default;
  // The ports that exist now: those with a number by number, then the
  // others by device.
  virtual std::vector<ComPortEntry> ExistingPorts() const = 0;
};

// The machine's ports for a program working in `working_dir`.
std::unique_ptr<ComPortList> MachineComPortList(const std::filesystem::path& working_dir);

}  // namespace orvik::platform
