// UTF-8 inside, UTF-16 at the Windows API: the two conversions. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace orvik::platform {

// Ill-formed input is converted with U+FFFD in place of what cannot be read.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace orvik::platform
