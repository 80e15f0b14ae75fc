// The program's 32 x 32 icon (notification area and windows), drawn in code:
// a clock face under a satellite's signal arcs. Main thread only.
#pragma once

#include <QIcon>

namespace orvik::ui {

// Returns the program icon.
QIcon ProgramIcon();

}  // namespace orvik::ui
