#include "ui/masked_edit.h"

namespace orvik::ui {

namespace {

constexpr QChar kBlank = u'_';

}  // namespace

MaskedEdit::MaskedEdit(int positions, Accepts accepts, const char* name, QWidget& parent)
    : QLineEdit(&parent), positions_(positions) {
  setObjectName(QString::fromLatin1(name));
  // "0": a digit or nothing; "#": a digit, a sign or nothing; "_" shows a blank.
  const QChar position_rule = accepts == Accepts::kDigits ? u'0' : u'#';
  setInputMask(QString(positions, position_rule) + QStringLiteral(";_"));
}

void MaskedEdit::SetFieldText(const QString& text) {
  // Blanks first, so that a shorter value sits at the right end of the field.
  QString placed = text;
  if (placed.size() < positions_) placed.prepend(QString(positions_ - placed.size(), kBlank));
  setText(placed);
}

QString MaskedEdit::FieldText() const {
  QString shown = displayText();
  shown.remove(kBlank);
  return shown;
}

}  // namespace orvik::ui
