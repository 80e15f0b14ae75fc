#include "platform/win32/win32_service_installer.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/win32/unique_service_handle.h"
#include "platform/win32/win32_error_text.h"

namespace orvik::platform {

namespace {

constexpr wchar_t kServiceAccount[] = L"NT AUTHORITY\\LocalService";
constexpr wchar_t kEventSourcesKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
// The longest wait for a running service to stop before it is removed.
constexpr auto kStopWait = std::chrono::seconds(20);

core::Status Failure(const char* what, DWORD error) {
  return core::Status::Error(core::StatusCode::kIoError,
                             std::string(what) + ": " + Win32ErrorText(error));
}

core::Status RegisterEventSource(const std::wstring& source, const std::wstring& message_file) {
  HKEY raw_key = nullptr;
  const std::wstring key_name = kEventSourcesKey + source;
  LSTATUS result = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_name.c_str(), 0, nullptr, 0,
                                     KEY_SET_VALUE, nullptr, &raw_key, nullptr);
  if (result != ERROR_SUCCESS)
    return Failure("the event source could not be registered", static_cast<DWORD>(result));
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  result = ::RegSetValueExW(raw_key, L"EventMessageFile", 0, REG_EXPAND_SZ,
                            reinterpret_cast<const BYTE*>(message_file.c_str()),
                            static_cast<DWORD>((message_file.size() + 1) * sizeof(wchar_t)));
  if (result == ERROR_SUCCESS) {
    result = ::RegSetValueExW(raw_key, L"TypesSupported", 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&types), sizeof(types));
  }
  ::RegCloseKey(raw_key);
  if (result != ERROR_SUCCESS)
    return Failure("the event source could not be registered", static_cast<DWORD>(result));
  return core::Status::Ok();
}

// Asks a running service to stop and waits for it, bounded.
void StopAndWait(SC_HANDLE service) {
  SERVICE_STATUS status{};
  if (!::QueryServiceStatus(service, &status) || status.dwCurrentState == SERVICE_STOPPED) return;
  ::ControlService(service, SERVICE_CONTROL_STOP, &status);
  const auto deadline = std::chrono::steady_clock::now() + kStopWait;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!::QueryServiceStatus(service, &status) || status.dwCurrentState == SERVICE_STOPPED) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

}  // namespace

core::Status InstallWindowsService(const WindowsServiceIdentity& identity,
                                   const std::wstring& command_line,
                                   const std::wstring& message_file) {
  const UniqueServiceHandle manager(
      ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
  if (!manager.valid()) return Failure("the service manager refused", ::GetLastError());
  UniqueServiceHandle service(
      ::CreateServiceW(manager.get(), identity.name.c_str(), identity.display_name.c_str(),
                       SERVICE_CHANGE_CONFIG | SERVICE_QUERY_CONFIG, SERVICE_WIN32_OWN_PROCESS,
                       SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command_line.c_str(), nullptr,
                       nullptr, nullptr, kServiceAccount, nullptr));
  if (!service.valid()) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_SERVICE_EXISTS) return Failure("the service could not be created", error);
    // Installed before (an earlier version): the same settings again.
    service = UniqueServiceHandle(::OpenServiceW(manager.get(), identity.name.c_str(),
                                                 SERVICE_CHANGE_CONFIG | SERVICE_QUERY_CONFIG));
    if (!service.valid()) return Failure("the service could not be opened", ::GetLastError());
    if (!::ChangeServiceConfigW(service.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                SERVICE_ERROR_NORMAL, command_line.c_str(), nullptr, nullptr,
                                nullptr, kServiceAccount, nullptr, identity.display_name.c_str())) {
      return Failure("the service could not be changed", ::GetLastError());
    }
  }
  std::wstring description = identity.description;
  SERVICE_DESCRIPTIONW text{description.data()};
  if (!::ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &text)) {
    return Failure("the service's description could not be set", ::GetLastError());
  }
  if (identity.event_source.empty()) return core::Status::Ok();
  return RegisterEventSource(identity.event_source, message_file);
}

core::Status UninstallWindowsService(const WindowsServiceIdentity& identity) {
  const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager.valid()) return Failure("the service manager refused", ::GetLastError());
  const UniqueServiceHandle service(::OpenServiceW(manager.get(), identity.name.c_str(),
                                                   DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (service.valid()) {
    StopAndWait(service.get());
    if (!::DeleteService(service.get()) && ::GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
      return Failure("the service could not be removed", ::GetLastError());
    }
  } else if (::GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) {
    return Failure("the service could not be opened", ::GetLastError());
  }
  if (!identity.event_source.empty()) {
    const std::wstring key_name = kEventSourcesKey + identity.event_source;
    const LSTATUS result = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, key_name.c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
      return Failure("the event source could not be removed", static_cast<DWORD>(result));
    }
  }
  return core::Status::Ok();
}

}  // namespace orvik::platform
