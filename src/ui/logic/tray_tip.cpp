#include "ui/logic/tray_tip.h"

namespace orvik::ui {

std::string TrayTipFor(bool state_known, bool communicating, std::string_view clock_problem,
                       std::string_view kept) {
  std::string tip = "GPS Time";
  if (!state_known) return tip;
  tip += ": ";
  if (!communicating) {
    tip += "No communication!";
  } else if (!clock_problem.empty()) {
    tip += clock_problem;
  } else {
    tip += "receiving, ";
    tip += kept;
  }
  if (tip.size() > kTrayTipLength) {
    // A cut sentence says so.
    tip.resize(kTrayTipLength - 3);
    tip += "...";
  }
  return tip;
}

}  // namespace orvik::ui
