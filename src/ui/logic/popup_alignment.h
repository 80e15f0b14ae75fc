// Where the notification icon's menu opens: from the icon towards the
// middle of the monitor that holds the icon, so that it never covers the
// icon and stays on that monitor, wherever the taskbar is (bottom, top,
// left, right; a secondary monitor left of or above the primary one has
// negative coordinates). Pure function.
#pragma once

namespace orvik::ui {

struct ScreenPoint {
  int x = 0;
  int y = 0;
};

struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct PopupAlignment {
  bool right_align = false;   // the menu's right edge at the point (it opens leftwards)
  bool bottom_align = false;  // the menu's bottom edge at the point (it opens upwards)
};

// `anchor`: where the shell says the icon is; `monitor`: the work area of
// the monitor holding it.
PopupAlignment PopupAlignmentFor(ScreenPoint anchor, ScreenRect monitor);

}  // namespace orvik::ui
