// The items of the setup dialog's port list, beside the port number field:
// the serial ports that exist now (platform/com_port_list.h), each with what
// choosing it writes into the field. The field still takes any number; the
// list only offers the ones that lead somewhere. Pure; main thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/com_port_list.h"

namespace orvik::ui {

// The largest number the port field holds (two digits).
inline constexpr std::uint8_t kLargestPortChoice = 99;

struct PortChoice {
  std::string text;  // "COM2   /dev/ttyUSB0"
  // The number choosing it writes into the port field; none: the item only
  // informs (a device no COM number reaches, nothing found).
  std::optional<std::uint8_t> number;

  friend bool operator==(const PortChoice&, const PortChoice&) = default;
};

// One item per port, in the list's order: "COM<n>" and its device; a
// device no COM number reaches says how to give it one; a number past
// kLargestPortChoice says the field cannot hold it; no ports: one item that
// says so.
std::vector<PortChoice> PortChoices(const std::vector<platform::ComPortEntry>& ports);

}  // namespace orvik::ui
