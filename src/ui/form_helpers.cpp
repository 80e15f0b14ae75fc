#include "ui/form_helpers.h"

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

void PlaceLabel(QLabel& label, QWidget& parent, const char* name, int x, int y,
                const QString& text, const QFont& font) {
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

Qt::WindowFlags CloseBoxOnlyFlags() {
  return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
         Qt::WindowCloseButtonHint;
}

}  // namespace orvik::ui
