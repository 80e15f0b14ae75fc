#include "ui/qt/about_window.h"

#include <algorithm>

#include "orvik_version.h"
#include "ui/qt/form_helpers.h"
#include "ui/qt/screen_fit.h"

namespace orvik::ui {

AboutWindow::AboutWindow(QWidget* parent) : QWidget(parent, CloseBoxOnlyFlags()) {
  setObjectName(QStringLiteral("TForm3"));
  setWindowTitle(QStringLiteral("About"));
  setFont(WindowFont());
  move(352, 192);
  const QFont base = font();
  PlaceLabel(name_, *this, "Label1", 8, 26, QStringLiteral("Orvik - GPS Time"),
             PixelFont(base, 13, true));
  PlaceLabel(protocols_, *this, "Label2", 8, 45, QStringLiteral("NMEA and Motorola protocols"),
             PixelFont(base, 11, true));
  PlaceLabel(version_, *this, "Label3", 8, 65,
             QStringLiteral("Ver. %1  TCP/IP Server").arg(QLatin1String(kVersion)),
             PixelFont(base, 13, true));
  // As wide as the lines need, with the same margin on the right as on the left.
  int width = 176;
  for (const QLabel* line : {&name_, &protocols_, &version_}) {
    width = std::max(width, line->geometry().right() + 1 + kEdgeMargin);
  }
  setFixedSize(width, 82);
}

void AboutWindow::showEvent(QShowEvent* event) {
  KeepOnScreen(*this);
  QWidget::showEvent(event);
}

}  // namespace orvik::ui
