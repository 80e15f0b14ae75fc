// MaskedEdit: a fixed-width input field whose every position takes one
// character of a given kind or stays blank. Blank positions show "_" and the
// field's value is what it shows with every "_" removed, so a digit typed in
// the second position of an empty two-position field is read as that digit.
// A value put into the field is placed at its right end, blanks before it.
//
// Entering the field (Tab, a click, a shortcut, its window becoming active)
// selects everything it shows, so what the operator types replaces the value:
// the positions are fixed, so a cursor left before a blank or after the last
// position would put a digit in the wrong place or refuse it.
//
// The masks are the only check on input: what the operator leaves in the
// field is taken as typed (an empty field gives an empty text).
// Main thread only.
#pragma once

#include <QLineEdit>
#include <QString>

namespace orvik::ui {

class MaskedEdit : public QLineEdit {
  Q_OBJECT

 public:
  enum class Accepts {
    kDigits,          // each position: a decimal digit, or blank
    kDigitsAndSigns,  // each position: a decimal digit, "+" or "-", or blank
  };

  // A field of `positions` positions named `name`, child of `parent`.
  MaskedEdit(int positions, Accepts accepts, const char* name, QWidget& parent);

  // Shows `text` right-aligned in the field; characters a position cannot
  // take are left out, and a text longer than the field keeps its start.
  // The value it already shows leaves the field (and its cursor) as it is.
  void SetFieldText(const QString& text);
  // The field's text with its blanks removed.
  QString FieldText() const;

  int positions() const { return positions_; }

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  const int positions_;
  // Entered by a click: the press placed the cursor, the release selects.
  bool select_on_release_ = false;
};

}  // namespace orvik::ui
