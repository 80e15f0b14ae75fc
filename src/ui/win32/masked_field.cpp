#include "ui/win32/masked_field.h"

namespace orvik::ui::win32 {

bool FieldAccepts(FieldMask mask, char character) {
  if (character >= '0' && character <= '9') return true;
  return mask == FieldMask::kDigitsAndSigns && (character == '+' || character == '-');
}

std::string FieldTextFor(std::string_view text, int positions, FieldMask mask) {
  std::string field;
  for (const char character : text) {
    if (static_cast<int>(field.size()) >= positions) break;
    if (FieldAccepts(mask, character)) field.push_back(character);
  }
  return field;
}

}  // namespace orvik::ui::win32
