#include "platform/win32/win32_windows_time_service_query.h"

#include <windows.h>

#include <string>

#include "platform/win32/unique_service_handle.h"
#include "platform/win32/win32_wide_text.h"

namespace orvik::platform {

namespace {

constexpr wchar_t kServiceName[] = L"W32Time";
constexpr wchar_t kParametersKey[] = L"SYSTEM\\CurrentControlSet\\Services\\W32Time\\Parameters";
// Longer registry texts are not a server list anyone wrote by hand.
constexpr DWORD kMaxValueBytes = 4096;

bool ServiceRunning() {
  const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager.valid()) return false;
  const UniqueServiceHandle service(
      ::OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_STATUS));
  if (!service.valid()) return false;
  SERVICE_STATUS status{};
  if (!::QueryServiceStatus(service.get(), &status)) return false;
  return status.dwCurrentState != SERVICE_STOPPED && status.dwCurrentState != SERVICE_STOP_PENDING;
}

// A REG_SZ value as UTF-8, "" when absent or unreadable.
std::string ParameterText(const wchar_t* name) {
  std::wstring buffer(kMaxValueBytes / sizeof(wchar_t), L'\0');
  DWORD bytes = kMaxValueBytes;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kParametersKey, name, RRF_RT_REG_SZ, nullptr,
                     buffer.data(), &bytes) != ERROR_SUCCESS) {
    return "";
  }
  // RegGetValue ends the text with a null it counts in `bytes`.
  buffer.resize(bytes / sizeof(wchar_t));
  while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
  return Utf8FromWide(buffer);
}

}  // namespace

core::WindowsTimeServiceFacts Win32WindowsTimeServiceQuery::Read() const {
  core::WindowsTimeServiceFacts facts;
  facts.running = ServiceRunning();
  if (!facts.running) return facts;
  facts.sync_type = ParameterText(L"Type");
  facts.ntp_server = ParameterText(L"NtpServer");
  return facts;
}

}  // namespace orvik::platform
