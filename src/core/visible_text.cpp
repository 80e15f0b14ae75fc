#include "core/visible_text.h"

namespace orvik::core {
namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";  // "…"

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Returns the length of the well-formed UTF-8 sequence for a code point of
// U+00A0 or above at the start of `text`, or 0 when there is none. Overlong
// forms, surrogates and values past U+10FFFF are not well-formed.
std::size_t VisibleSequenceLength(std::string_view text) {
  const auto at = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = at(0);
  std::size_t length = 0;
  unsigned char second_min = 0x80;
  unsigned char second_max = 0xBF;
  if (lead == 0xC2) {
    length = 2;
    second_min = 0xA0;  // U+0080..U+009F are the C1 controls
  } else if (lead >= 0xC3 && lead <= 0xDF) {
    length = 2;
  } else if (lead == 0xE0) {
    length = 3;
    second_min = 0xA0;
  } else if (lead == 0xED) {
    length = 3;
    second_max = 0x9F;  // no surrogates
  } else if (lead >= 0xE1 && lead <= 0xEF) {
    length = 3;
  } else if (lead == 0xF0) {
    length = 4;
    second_min = 0x90;
  } else if (lead >= 0xF1 && lead <= 0xF3) {
    length = 4;
  } else if (lead == 0xF4) {
    length = 4;
    second_max = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || at(1) < second_min || at(1) > second_max) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(at(i))) return 0;
  }
  return length;
}

void AppendHexByte(std::string& out, unsigned char byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace

std::string VisibleText(std::string_view text, std::size_t max_characters) {
  std::string out;
  std::size_t characters = 0;
  while (!text.empty() && characters < max_characters) {
    const auto byte = static_cast<unsigned char>(text.front());
    std::size_t taken = 1;
    if (byte >= 0x20 && byte <= 0x7E) {
      out += static_cast<char>(byte);
    } else if (const std::size_t length = VisibleSequenceLength(text); length > 0) {
      out.append(text.substr(0, length));
      taken = length;
    } else {
      AppendHexByte(out, byte);
    }
    text.remove_prefix(taken);
    ++characters;
  }
  if (!text.empty()) out += kEllipsis;
  return out;
}

std::string EchoedText(std::string_view text) { return VisibleText(text, kEchoedTextLimit); }

}  // namespace orvik::core
