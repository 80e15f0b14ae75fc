// The COM ports of a Windows machine: every DOS device name "COM<n>"
// (QueryDosDevice lists them all, whatever driver made them: a UART, a USB
// adapter, a virtual port), with the device it stands for. COM<n> is always
// "\\.\COM<n>" there, so every port has its number. MachineComPortList()
// (platform/com_port_list.h) lists them. Any thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/com_port_list.h"

namespace orvik::platform {

// The COM ports among the DOS device names `names`: each name "COM<n>" (any
// case, n from 1 to 255 without a leading zero) once, by number, with the
// device `target_of` gives for it; other names are left out.
std::vector<ComPortEntry> ComPortsAmong(
    const std::vector<std::string>& names,
    const std::function<std::string(const std::string&)>& target_of);

}  // namespace orvik::platform
