#include "ui/qt/form_helpers.h"

#include <QApplication>

namespace orvik::ui {

QFont WindowFont() {
  QFont font = QApplication::font();
  font.setPixelSize(11);
  font.setStretch(QFont::SemiCondensed);
  return font;
}

QFont PixelFont(QFont base, int pixel_size, bool bold) {
  base.setPixelSize(pixel_size);
  base.setBold(bold);
  return base;
}

void PlaceLabel(QLabel& label, QWidget& parent, const char* name, int x, int y, const QString& text,
                const QFont& font) {
  label.setParent(&parent);
  label.setObjectName(QString::fromLatin1(name));
  label.setFont(font);
  label.move(x, y);
  SetAutoSizedText(label, text);
}

void SetAutoSizedText(QLabel& label, const QString& text) {
  label.setText(text);
  label.adjustSize();
}

void SetWarningTextColor(QLabel& label) {
  // The window's palette: when it changes, the window hears of it before
  // its children take it over.
  const bool light_window = label.window()->palette().color(QPalette::Window).lightness() >= 128;
  QPalette palette = label.palette();
  palette.setColor(QPalette::WindowText, light_window ? QColor(176, 0, 0) : QColor(255, 128, 128));
  label.setPalette(palette);
}

Qt::WindowFlags CloseBoxOnlyFlags() {
  return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
         Qt::WindowCloseButtonHint;
}

}  // namespace orvik::ui
