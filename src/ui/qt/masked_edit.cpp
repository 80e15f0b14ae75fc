#include "ui/qt/masked_edit.h"

#include <QFocusEvent>
#include <QMouseEvent>

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
  // The value it already shows leaves the cursor where the operator has it.
  if (text == FieldText()) return;
  QString placed = text;
  if (placed.size() < positions_) placed.prepend(QString(positions_ - placed.size(), kBlank));
  setText(placed);
  // A refill of the field being edited is entered afresh.
  if (hasFocus()) selectAll();
}

QString MaskedEdit::FieldText() const {
  QString shown = displayText();
  shown.remove(kBlank);
  return shown;
}

void MaskedEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::ActiveWindowFocusReason:
      selectAll();
      break;
    case Qt::MouseFocusReason:
      // The press that gave the focus places the cursor after this event.
      select_on_release_ = true;
      break;
    default:  // back from a popup menu and the like: left as it was
      break;
  }
}

void MaskedEdit::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (!select_on_release_) return;
  select_on_release_ = false;
  // A part the operator selected by dragging is kept.
  if (!hasSelectedText()) selectAll();
}

}  // namespace orvik::ui
