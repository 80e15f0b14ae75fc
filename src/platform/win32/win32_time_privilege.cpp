#include "platform/win32/win32_time_privilege.h"

#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace orvik::platform {

bool Win32TimePrivilege::EnableTimePrivileges() {
  HANDLE raw_token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          &raw_token)) {
    return false;
  }
  const UniqueHandle token(raw_token);
  TOKEN_PRIVILEGES wanted{};
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!::LookupPrivilegeValueA(nullptr, "SeSystemtimePrivilege", &wanted.Privileges[0].Luid)) {
    return false;
  }
  if (!::AdjustTokenPrivileges(token.get(), FALSE, &wanted, 0, nullptr, nullptr)) return false;
  // AdjustTokenPrivileges succeeds even when the account lacks the privilege;
  // only the last error tells.
  return ::GetLastError() != ERROR_NOT_ALL_ASSIGNED;
}

}  // namespace orvik::platform
