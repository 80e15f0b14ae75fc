#include "platform/win32/win32_com_port_list.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cwchar>
#include <optional>
#include <string_view>

#include "platform/win32/win32_wide_text.h"

namespace orvik::platform {
namespace {

// Never more than this much room for the list of all DOS device names.
constexpr DWORD kMaxNamesChars = 1 << 20;

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
std::vector<std::string> QueryDosDevices(const wchar_t* name) {
  std::vector<wchar_t> buffer(16 * 1024);
  while (true) {
    const DWORD length = ::QueryDosDeviceW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length > 0) {
      std::vector<std::string> strings;
      for (const wchar_t* s = buffer.data(); s < buffer.data() + length && *s != L'\0';
           s += std::wcslen(s) + 1) {
        strings.push_back(Utf8FromWide(s));
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
    return ComPortsAmong(QueryDosDevices(nullptr), [](const std::string& name) {
      const std::vector<std::string> targets = QueryDosDevices(WideFromUtf8(name).c_str());
      return targets.empty() ? std::string() : targets.front();
    });
  }
};

}  // namespace

std::vector<ComPortEntry> ComPortsAmong(
    const std::vector<std::string>& names,
    const std::function<std::string(const std::string&)>& target_of) {
  std::vector<ComPortEntry> ports;
  for (const std::string& name : names) {
    const auto number = ComNumberOfName(name);
    if (!number) continue;
    const bool listed = std::any_of(ports.begin(), ports.end(),
                                    [&](const ComPortEntry& p) { return p.number == number; });
    if (listed) continue;
    ports.push_back({number, target_of(name)});
  }
  std::sort(ports.begin(), ports.end(),
            [](const ComPortEntry& a, const ComPortEntry& b) { return *a.number < *b.number; });
  return ports;
}

std::unique_ptr<ComPortList> MachineComPortList(const std::filesystem::path& /*working_dir*/) {
  return std::make_unique<Win32ComPortList>();
}

}  // namespace orvik::platform
