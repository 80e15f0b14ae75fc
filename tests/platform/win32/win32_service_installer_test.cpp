// Registering and removing a Windows service with wine's service manager
// (scripts/test-windows.sh runs this under setpriv --bounding-set -sys_time;
// the service registered is never started).
#include "platform/win32/win32_service_installer.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/unique_service_handle.h"

namespace orvik::platform {
namespace {

WindowsServiceIdentity TestIdentity() {
  const std::wstring id = std::to_wstring(::GetCurrentProcessId());
  return WindowsServiceIdentity{
      .name = L"OrvikInstallerTest" + id,
      .display_name = L"Orvik installer test " + id,
      .description = L"A service the installer test registers and removes.",
      .event_source = L"Orvik installer test " + id,
  };
}

bool EventSourceRegistered(const std::wstring& source, std::wstring* message_file) {
  const std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + source;
  std::vector<wchar_t> text(1024);
  DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"EventMessageFile",
                     RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, text.data(),
                     &bytes) != ERROR_SUCCESS) {
    return false;
  }
  *message_file = text.data();
  return true;
}

// The service's configuration as the manager holds it, or nothing.
struct Registered {
  bool found = false;
  DWORD type = 0, start = 0;
  std::wstring command_line, account, display_name, description;
};

Registered Query(const std::wstring& name) {
  Registered registered;
  const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  const UniqueServiceHandle service(
      ::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG));
  if (!service.valid()) return registered;
  std::vector<BYTE> buffer(8192);
  DWORD needed = 0;
  if (!::QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                             static_cast<DWORD>(buffer.size()), &needed)) {
    return registered;
  }
  const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
  registered = {true,
                config->dwServiceType,
                config->dwStartType,
                config->lpBinaryPathName,
                config->lpServiceStartName ? config->lpServiceStartName : L"",
                config->lpDisplayName,
                L""};
  if (::QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, buffer.data(),
                             static_cast<DWORD>(buffer.size()), &needed)) {
    const auto* description = reinterpret_cast<const SERVICE_DESCRIPTIONW*>(buffer.data());
    if (description->lpDescription != nullptr) registered.description = description->lpDescription;
  }
  return registered;
}

TEST(Win32ServiceInstallerTest, RegistersAnAutomaticLocalServiceAndRemovesItAgain) {
  const WindowsServiceIdentity identity = TestIdentity();
  const std::wstring command_line = L"\"C:\\Program Files\\Orvik\\server.exe\" --service";
  const std::wstring message_file = L"C:\\Program Files\\Orvik\\server.exe";
  ASSERT_TRUE(InstallWindowsService(identity, command_line, message_file).ok());
  // Once more, as an update over an earlier installation.
  ASSERT_TRUE(InstallWindowsService(identity, command_line, message_file).ok());

  const Registered registered = Query(identity.name);
  ASSERT_TRUE(registered.found);
  EXPECT_EQ(registered.type & SERVICE_WIN32_OWN_PROCESS,
            static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
  EXPECT_EQ(registered.start, static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_EQ(registered.command_line, command_line);
  EXPECT_EQ(registered.account, L"NT AUTHORITY\\LocalService");
  EXPECT_EQ(registered.display_name, identity.display_name);
  EXPECT_EQ(registered.description, identity.description);
  std::wstring registered_file;
  ASSERT_TRUE(EventSourceRegistered(identity.event_source, &registered_file));
  EXPECT_EQ(registered_file, message_file);

  ASSERT_TRUE(UninstallWindowsService(identity).ok());
  EXPECT_FALSE(Query(identity.name).found);
  EXPECT_FALSE(EventSourceRegistered(identity.event_source, &registered_file));
  EXPECT_TRUE(UninstallWindowsService(identity).ok()) << "nothing left to remove is no error";
}

}  // namespace
}  // namespace orvik::platform
