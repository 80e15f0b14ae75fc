// The integer syntax of the parameter and time-outs files. Pure; any thread.
//
// A value is: any leading blanks (space characters), at most one sign ("+" or
// "-"), then either decimal digits within the signed 32-bit range, or
// hexadecimal digits (either case, at most eight significant digits, taken as
// a 32-bit pattern) after one of the prefixes "$", "x", "X", "0x" or "0X".
// Nothing may follow the digits, not even a blank.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/status.h"

namespace orvik::core {

// Returns the value of `text`, or kInvalidInteger with InvalidIntegerMessage(text).
Result<std::int32_t> ParseInteger(std::string_view text);

// Returns "'<text>' is not a valid integer value", with `text` echoed by
// EchoedText (core/visible_text.h): an ordinary short text verbatim, a long
// one cut to 64 characters and "…", control bytes shown as "\xNN".
std::string InvalidIntegerMessage(std::string_view text);

}  // namespace orvik::core
