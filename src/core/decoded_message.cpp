#include "core/decoded_message.h"

#include <string>

namespace orvik::core {

namespace {

std::string TimeTextOf(const DateTime& t, bool valid_fix) {
  std::string text =
      std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" + std::to_string(t.second);
  return valid_fix ? text : "?" + text + "?";
}

std::string DateTextOf(const DateTime& t) {
  return std::to_string(t.day) + "." + std::to_string(t.month) + "." + std::to_string(t.year);
}

}  // namespace

DisplayUpdate AcceptedDisplay(const DateTime& local, bool valid_fix, std::uint8_t tracked,
                              std::uint8_t visible) {
  DisplayUpdate display;
  display.texts.TimeText = TimeTextOf(local, valid_fix);
  display.texts.DateText = DateTextOf(local);
  display.texts.SatText = std::to_string(tracked) + " / " + std::to_string(visible);
  display.accepted = true;
  display.NoSatFlag = tracked == 0;
  return display;
}

}  // namespace orvik::core
