#include "ui/qt/program_icon.h"

#include <QPainter>
#include <QPixmap>

namespace orvik::ui {

QIcon ProgramIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);

  // Clock face.
  painter.setPen(QPen(QColor(0, 0, 128), 2));
  painter.setBrush(QColor(255, 255, 255));
  painter.drawEllipse(QRectF(3, 7, 24, 24));
  painter.setPen(QPen(QColor(0, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(15, 19), QPointF(15, 11));  // minute hand
  painter.drawLine(QPointF(15, 19), QPointF(21, 21));  // hour hand
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 0, 0));
  painter.drawEllipse(QPointF(15, 19), 2, 2);

  // Signal arcs from the top right corner.
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(0, 128, 0), 2, Qt::SolidLine, Qt::RoundCap));
  painter.drawArc(QRectF(22, -6, 16, 16), 180 * 16, 90 * 16);
  painter.drawArc(QRectF(17, -11, 26, 26), 180 * 16, 90 * 16);
  painter.end();
  return QIcon(pixmap);
}

}  // namespace orvik::ui
