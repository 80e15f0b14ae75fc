#include "ui/logic/popup_alignment.h"

namespace orvik::ui {

PopupAlignment PopupAlignmentFor(ScreenPoint anchor, ScreenRect monitor) {
  // Doubled coordinates: the middle without rounding.
  return PopupAlignment{
      .right_align = 2 * anchor.x > monitor.left + monitor.right,
      .bottom_align = 2 * anchor.y > monitor.top + monitor.bottom,
  };
}

}  // namespace orvik::ui
