// The setup dialog's controls: for each setting the operator edits there
// (core::SettingFields() holds them all), the control's objectName, its
// caption's objectName and text, and a masked field's width and mask. The
// Qt and the Win32 dialog build and read their controls from this list, in
// the settings file's line order. The logging switch is edited in the file
// only. Pure data.
#pragma once

#include <span>
#include <string_view>

#include "core/settings_fields.h"

namespace orvik::ui {

// What each position of a masked field takes besides a blank.
enum class FieldMask { kDigits, kDigitsAndSigns };

struct DialogField {
  const core::SettingField* setting = nullptr;
  std::string_view control;  // the control's objectName
  std::string_view label;    // objectName of its caption; empty for a check box
  std::string_view caption;  // the caption's text, or the check box's
  int positions = 0;         // a masked field's width; 0: no mask
  FieldMask mask = FieldMask::kDigits;
};

// Every control of the dialog that edits a setting.
std::span<const DialogField> SetupDialogFields();

// The entry of the control named `control`; null when there is none.
const DialogField* DialogFieldOfControl(std::string_view control);

}  // namespace orvik::ui
