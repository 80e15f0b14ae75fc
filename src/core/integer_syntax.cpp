#include "core/integer_syntax.h"

#include <cstddef>

#include "core/visible_text.h"

namespace orvik::core {
namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Returns the length of a hexadecimal prefix at the start of `text`, or 0.
std::size_t HexPrefixLength(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) return 2;
  if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X')) return 1;
  return 0;
}

// Hexadecimal digits as a 32-bit pattern; false when `digits` is empty, holds
// a non-digit or has more than eight digits after its leading zeros.
bool ParseHexPattern(std::string_view digits, std::uint32_t& pattern) {
  if (digits.empty()) return false;
  std::uint32_t value = 0;
  int significant = 0;
  for (const char c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return false;
    if (significant > 0 || digit != 0) {
      if (++significant > 8) return false;
    }
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  pattern = value;
  return true;
}

// Decimal digits as a magnitude; false when `digits` is empty, holds a
// non-digit or exceeds `limit`.
bool ParseDecimalMagnitude(std::string_view digits, std::uint32_t limit, std::uint32_t& magnitude) {
  if (digits.empty()) return false;
  std::uint64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    // Checked per digit so that any number of digits cannot overflow.
    if (value > limit) return false;
  }
  magnitude = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace

std::string InvalidIntegerMessage(std::string_view text) {
  // A whole line of a file may arrive here: never echo more than a glance.
  std::string message = "'";
  message += EchoedText(text);
  message += "' is not a valid integer value";
  return message;
}

Result<std::int32_t> ParseInteger(std::string_view text) {
  std::string_view rest = text;
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);

  bool negative = false;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }

  // Unsigned arithmetic: a hexadecimal pattern wraps like a 32-bit register,
  // so "-$1" and "$FFFFFFFF" are both -1.
  std::uint32_t bits = 0;
  bool valid = false;
  if (const std::size_t prefix = HexPrefixLength(rest); prefix > 0) {
    std::uint32_t pattern = 0;
    valid = ParseHexPattern(rest.substr(prefix), pattern);
    bits = negative ? 0u - pattern : pattern;
  } else {
    const std::uint32_t limit = negative ? 2147483648u : 2147483647u;
    std::uint32_t magnitude = 0;
    valid = ParseDecimalMagnitude(rest, limit, magnitude);
    bits = negative ? 0u - magnitude : magnitude;
  }
  if (!valid) return Status::Error(StatusCode::kInvalidInteger, InvalidIntegerMessage(text));
  return static_cast<std::int32_t>(bits);
}

}  // namespace orvik::core
