#include "platform/win32/win32_error_text.h"

#include <array>

namespace orvik::platform {

std::string Win32ErrorText(DWORD error) {
  std::array<char, 512> buffer{};
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        buffer.data(), static_cast<DWORD>(buffer.size()), nullptr);
  std::string text(buffer.data(), length);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  if (text.empty()) return "error " + std::to_string(error);
  return text;
}

}  // namespace orvik::platform
