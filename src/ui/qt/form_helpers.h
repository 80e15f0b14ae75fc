// Small helpers shared by the program's windows: fonts given in pixels,
// labels that size themselves to their text, and the title-bar style of a
// window that has a close box only. Main thread only (they touch widgets).
#pragma once

#include <QFont>
#include <QLabel>
#include <QString>
#include <Qt>

namespace orvik::ui {

// The least space between a window's controls and its right edge.
inline constexpr int kEdgeMargin = 8;

// The windows' base font: the application's sans-serif at 11 pixels,
// semi-condensed, so the captions fit the places and sizes the windows are
// laid out with.
QFont WindowFont();

// Returns `base` at `pixel_size` pixels, bold when `bold` is set.
QFont PixelFont(QFont base, int pixel_size, bool bold);

// Makes `label` a child of `parent` named `name`, at (x, y) in the parent's
// client area, in `font`, showing `text` and sized to it.
void PlaceLabel(QLabel& label, QWidget& parent, const char* name, int x, int y, const QString& text,
                const QFont& font);

// Sets the text of `label` and resizes it to fit, so a longer text is never
// cut off.
void SetAutoSizedText(QLabel& label, const QString& text);

// Gives `label` a red text that reads well on its window's background
// colour: dark on a light window, light on a dark one. Call again when the
// window's palette changes.
void SetWarningTextColor(QLabel& label);

// Flags of a top-level window whose title bar has a close box and no
// minimise or maximise box.
Qt::WindowFlags CloseBoxOnlyFlags();

}  // namespace orvik::ui
