#include "ui/logic/port_choices.h"

#include "core/visible_text.h"

namespace orvik::ui {

std::vector<PortChoice> PortChoices(const std::vector<platform::ComPortEntry>& ports) {
  std::vector<PortChoice> choices;
  for (const platform::ComPortEntry& port : ports) {
    // Device names come from the file system: shown safely, and cut.
    const std::string device = core::EchoedText(port.device);
    if (!port.number) {
      choices.push_back(
          {device + ": no COM number (link it as COM<n> in the working folder)", std::nullopt});
      continue;
    }
    std::string text = "COM" + std::to_string(*port.number);
    if (!device.empty()) text += "   " + device;
    if (*port.number > kLargestPortChoice) {
      choices.push_back({text + " (the port field takes 0 to 99)", std::nullopt});
    } else {
      choices.push_back({text, port.number});
    }
  }
  if (choices.empty()) choices.push_back({"No serial ports found", std::nullopt});
  return choices;
}

}  // namespace orvik::ui
