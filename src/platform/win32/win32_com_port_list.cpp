// The COM ports of a Windows machine: every DOS device name "COM<n>"
// (QueryDosDevice lists them all, whatever driver made them: a UART, a USB
// adapter, a virtual port), with the device it stands for. COM<n> is always
// "\\.\COM<n>" there, so every port has its number.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com_port_list.h"

namespace orvik::platform {
namespace {

// Never more than this much room for the list of all DOS device names.
constexpr DWORD kMaxNamesChars = 1 << 20;

std::string Narrow(std::wstring_view wide) {
  std::string text;
  for (const wchar_t c : wide) text.push_back(c < 128 ? static_cast<char>(c) : '?');
  return text;
}

// The n of "COM<n>" (any case, no leading zero), 1..255.
std::optional<std::uint8_t> ComNumberOfName(std::string_view name) {
  if (name.size() < 4 || name.size() > 6) return std::nullopt;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
  }
  const std::string_view digits = name.substr(3);
  if (digits.front() == '0') return std::nullopt;
  unsigned value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || value > 255) {
    return std::nullopt;
  }
  return static_cast<std::uint8_t>(value);
}

// The NUL-separated strings QueryDosDeviceW wrote for `name` (null: all
// names), grown until they fit; empty when there are none.
std::vector<std::wstring> QueryDosDevices(const wchar_t* name) {
  std::vector<wchar_t> buffer(16 * 1024);
  while (true) {
    const DWORD length = ::QueryDosDeviceW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length > 0) {
      std::vector<std::wstring> strings;
      for (const wchar_t* s = buffer.data(); s < buffer.data() + length && *s != L'\0';
           s += std::wcslen(s) + 1) {
        strings.emplace_back(s);
      }
      return strings;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || buffer.size() >= kMaxNamesChars) return {};
    buffer.resize(buffer.size() * 4);
  }
}

class Win32ComPortList : public ComPortList {
 public:
  std::vector<ComPortEntry> ExistingPorts() const override {
    std::vector<ComPortEntry> ports;
    for (const std::wstring& name : QueryDosDevices(nullptr)) {
      const auto number = ComNumberOfName(Narrow(name));
      if (!number) continue;
      const bool listed = std::any_of(ports.begin(), ports.end(),
                                      [&](const ComPortEntry& p) { return p.number == number; });
      if (listed) continue;
      const std::vector<std::wstring> targets = QueryDosDevices(name.c_str());
      ports.push_back({number, targets.empty() ? std::string() : Narrow(targets.front())});
    }
    std::sort(ports.begin(), ports.end(),
              [](const ComPortEntry& a, const ComPortEntry& b) { return *a.number < *b.number; });
    return ports;
  }
};

}  // namespace

std::unique_ptr<ComPortList> MachineComPortList(const std::filesystem::path& /*working_dir*/) {
  return std::make_unique<Win32ComPortList>();
}

}  // namespace orvik::platform
