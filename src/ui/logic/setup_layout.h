// Where the setup dialog's controls and captions stand, in dialog units
// (pixels at the standard font), the same for every set of windows.
#pragma once

#include <string_view>

namespace orvik::ui {

struct SetupPlace {
  int x = 0;
  int y = 0;
};

// The place of the control or caption named `name` (its component name:
// "MaskEdit2", "Label3" ...); {0, 0} for a name the dialog does not place.
// The receiver delay's and the chrony socket's x are placed from the others.
SetupPlace SetupPlaceOf(std::string_view name);

}  // namespace orvik::ui
