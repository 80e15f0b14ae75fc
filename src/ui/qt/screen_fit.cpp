#include "ui/qt/screen_fit.h"

#include <QScreen>
#include <QWindow>
#include <algorithm>

namespace orvik::ui {

namespace {

// Title bar and borders assumed until the window system reports the real ones.
constexpr QMargins kTypicalFrame(4, 30, 4, 4);

int ClampStart(int start, int length, int area_start, int area_length) {
  if (length >= area_length) return area_start;
  return std::clamp(start, area_start, area_start + area_length - length);
}

QRect AvailableArea(const QWidget& window) {
  const QScreen* screen = window.screen();
  return screen != nullptr ? screen->availableGeometry() : QRect();
}

}  // namespace

QPoint PositionOnScreen(const QRect& frame, const QRect& available) {
  return QPoint(ClampStart(frame.x(), frame.width(), available.x(), available.width()),
                ClampStart(frame.y(), frame.height(), available.y(), available.height()));
}

QMargins FrameMargins(const QWidget& window) {
  const QWindow* handle = window.windowHandle();
  const QMargins known = handle != nullptr ? handle->frameMargins() : QMargins();
  return known.isNull() ? kTypicalFrame : known;
}

QSize RoomOnScreen(const QWidget& window) {
  const QRect available = AvailableArea(window);
  if (available.isEmpty()) return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  return available.size().shrunkBy(FrameMargins(window));
}

void KeepOnScreen(QWidget& window) {
  if (!window.testAttribute(Qt::WA_Moved)) return;
  const QRect available = AvailableArea(window);
  if (available.isEmpty()) return;
  // A window's position is that of its frame.
  const QRect frame(window.pos(), window.size().grownBy(FrameMargins(window)));
  const QPoint position = PositionOnScreen(frame, available);
  if (position != window.pos()) window.move(position);
}

}  // namespace orvik::ui
