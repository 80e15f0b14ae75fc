// Keeping the program's windows on their screen: a window placed at a fixed
// position, or taller than a small screen (a scale factor of 2 on a
// 1024 x 768 screen leaves 512 x 384 units), is moved, or told how much room
// there is, so that it never runs off the screen's available area.
// Main thread only (they read widgets and screens).
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace orvik::ui {

// Returns the top-left corner for a window frame `frame` that keeps it inside
// `available`: unchanged when it fits, else moved in; a frame larger than the
// area keeps its top-left corner in the area (its title bar stays reachable).
QPoint PositionOnScreen(const QRect& frame, const QRect& available);

// The window's frame margins; before the window system has told them, a
// typical title bar and border, so the first placement is already safe.
QMargins FrameMargins(const QWidget& window);

// The largest client area the window can have on its screen.
QSize RoomOnScreen(const QWidget& window);

// Moves a window that was given a position so that its frame lies in its
// screen's available area. A window left to the window manager is left alone.
void KeepOnScreen(QWidget& window);

}  // namespace orvik::ui
