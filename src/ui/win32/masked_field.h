// What the setup dialog's fixed-width number fields take: every position a
// decimal digit, or with FieldMask::kDigitsAndSigns also "+" or "-". The
// field's value is its text; what the operator types or pastes is cut to
// what the positions can take, so a field never holds a character the
// settings file would refuse as a mask violation. Pure functions.
#pragma once

#include <string>
#include <string_view>

#include "ui/logic/setup_dialog_fields.h"

namespace orvik::ui::win32 {

bool FieldAccepts(FieldMask mask, char character);

// The text a field of `positions` positions holds for `text`: the characters
// it cannot take left out, and of a longer text its first `positions`.
std::string FieldTextFor(std::string_view text, int positions, FieldMask mask);

}  // namespace orvik::ui::win32
