#include "platform/win32/win32_service_control.h"

#include <windows.h>
// after windows.h

#include <chrono>
#include <thread>
#include <utility>

#include "platform/win32/win32_error_text.h"

namespace orvik::platform {

namespace {

using namespace std::chrono_literals;

// How long a restart waits for the service to stop, and how often it looks.
constexpr auto kStopWait = 20s;
constexpr auto kStopPoll = 100ms;

// Owns a service manager or service handle and closes it once.
class UniqueServiceHandle {
 public:
  explicit UniqueServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  ~UniqueServiceHandle() {
    if (handle_ != nullptr) ::CloseServiceHandle(handle_);
  }
  UniqueServiceHandle(const UniqueServiceHandle&) = delete;
  UniqueServiceHandle& operator=(const UniqueServiceHandle&) = delete;
  SC_HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr; }

 private:
  SC_HANDLE handle_;
};

core::Status Failure(std::string what, DWORD error) {
  if (error == ERROR_ACCESS_DENIED) {
    return core::Status::Error(core::StatusCode::kIoError, kServiceAccessDenied);
  }
  return core::Status::Error(
      core::StatusCode::kIoError,
      "The Orvik GPS Time service could not be " + std::move(what) + ": " + Win32ErrorText(error));
}

}  // namespace

TimeServiceState Win32ServiceControl::State() {
  const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager.valid()) return TimeServiceState::kNotInstalled;
  const UniqueServiceHandle service(
      ::OpenServiceW(manager.get(), name_.c_str(), SERVICE_QUERY_STATUS));
  if (!service.valid()) return TimeServiceState::kNotInstalled;
  SERVICE_STATUS status{};
  if (!::QueryServiceStatus(service.get(), &status)) return TimeServiceState::kNotInstalled;
  switch (status.dwCurrentState) {
    case SERVICE_RUNNING:
    case SERVICE_START_PENDING:
    case SERVICE_CONTINUE_PENDING:
      return TimeServiceState::kRunning;
    default:
      return TimeServiceState::kStopped;
  }
}

core::Status Win32ServiceControl::Restart() {
  const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager.valid()) return Failure("reached", ::GetLastError());
  const UniqueServiceHandle service(::OpenServiceW(
      manager.get(), name_.c_str(), SERVICE_STOP | SERVICE_START | SERVICE_QUERY_STATUS));
  if (!service.valid()) return Failure("reached", ::GetLastError());

  SERVICE_STATUS status{};
  if (!::ControlService(service.get(), SERVICE_CONTROL_STOP, &status) &&
      ::GetLastError() != ERROR_SERVICE_NOT_ACTIVE) {
    return Failure("stopped", ::GetLastError());
  }
  const auto deadline = std::chrono::steady_clock::now() + kStopWait;
  while (::QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return core::Status::Error(core::StatusCode::kIoError,
                                 "The Orvik GPS Time service did not stop within 20 s");
    }
    std::this_thread::sleep_for(kStopPoll);
  }
  if (!::StartServiceW(service.get(), 0, nullptr)) return Failure("started", ::GetLastError());
  return core::Status::Ok();
}

}  // namespace orvik::platform
