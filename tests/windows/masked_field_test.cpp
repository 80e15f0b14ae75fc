// The setup dialog's number fields keep only what their positions take.
#include "ui/win32/masked_field.h"

#include <gtest/gtest.h>

namespace orvik::ui::win32 {
namespace {

using ui::FieldMask;

TEST(MaskedFieldTest, KeepsWhatThePositionsTakeFromTheStart) {
  struct Case {
    const char* typed;
    int positions;
    FieldMask mask;
    const char* kept;
  };
  for (const Case& c : {
           Case{"12", 2, FieldMask::kDigits, "12"}, Case{"", 3, FieldMask::kDigits, ""},
           Case{"1a2", 3, FieldMask::kDigits, "12"},         // a letter is left out
           Case{"-5", 3, FieldMask::kDigits, "5"},           // no sign where only digits go
           Case{"-5", 3, FieldMask::kDigitsAndSigns, "-5"},  // the GMT difference takes signs
           Case{"+12", 3, FieldMask::kDigitsAndSigns, "+12"},
           Case{" 7", 2, FieldMask::kDigits, "7"},        // blanks are no characters of a value
           Case{"12345", 4, FieldMask::kDigits, "1234"},  // a longer text keeps its start
           Case{"1\xe9"
                "2",
                2, FieldMask::kDigits, "12"},  // Latin-1 letters too
       }) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(FieldTextFor(c.typed, c.positions, c.mask), c.kept);
  }
}

}  // namespace
}  // namespace orvik::ui::win32
