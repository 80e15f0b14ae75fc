// VisibleText: file text made safe to echo in an operator's message (a
// message box, a line on stderr). Pure; any thread.
//
// A character is kept as it is when it is printable ASCII (0x20..0x7E) or a
// well-formed UTF-8 sequence for U+00A0 or above. Every other byte - the
// control bytes 0x00..0x1F and 0x7F, the C1 controls U+0080..U+009F, and any
// byte that starts no well-formed sequence - is shown as "\x" and two upper-
// case hexadecimal digits ("\x00", "\x0D", "\xB0") and counts as one
// character. A backslash is kept as it is, so ordinary texts read unchanged.
// A text longer than the limit is cut after that many characters and "…"
// (U+2026) is appended.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvik::core {

// How many characters of file text a message echoes.
inline constexpr std::size_t kEchoedTextLimit = 64;

// Returns the first `max_characters` characters of `text` in the visible form
// above, followed by "…" when `text` has more.
std::string VisibleText(std::string_view text, std::size_t max_characters);

// VisibleText(text, kEchoedTextLimit): file text quoted inside a message.
std::string EchoedText(std::string_view text);

}  // namespace orvik::core
