#include "platform/win32/win32_service_manager_link.h"

#include <utility>

namespace orvik::platform {

namespace {

DWORD Win32State(ServiceState state) {
  switch (state) {
    case ServiceState::kStartPending:
      return SERVICE_START_PENDING;
    case ServiceState::kRunning:
      return SERVICE_RUNNING;
    case ServiceState::kStopPending:
      return SERVICE_STOP_PENDING;
    case ServiceState::kStopped:
      return SERVICE_STOPPED;
  }
  return SERVICE_STOPPED;
}

}  // namespace

Win32ServiceManagerLink::Win32ServiceManagerLink(const wchar_t* service_name)
    : status_handle_(::RegisterServiceCtrlHandlerExW(
          service_name, &Win32ServiceManagerLink::HandleControl, this)) {}

void Win32ServiceManagerLink::Listen(Handler handler) {
  DWORD early_stop = 0;
  {
    const std::lock_guard lock(mutex_);
    handler_ = handler;
    early_stop = std::exchange(stop_control_, 0);
  }
  if (early_stop != 0 && handler) handler(static_cast<int>(early_stop));
}

void Win32ServiceManagerLink::Report(ServiceState state, int exit_code) {
  if (status_handle_ == nullptr) return;
  const std::lock_guard lock(mutex_);
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = Win32State(state);
  // Stop and shut-down are taken only while the service runs.
  status.dwControlsAccepted =
      state == ServiceState::kRunning ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  if (exit_code != 0) {
    status.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = static_cast<DWORD>(exit_code);
  }
  const bool pending = state == ServiceState::kStartPending || state == ServiceState::kStopPending;
  if (status.dwCurrentState != current_state_) checkpoint_ = 0;
  current_state_ = status.dwCurrentState;
  status.dwCheckPoint = pending ? ++checkpoint_ : 0;
  status.dwWaitHint = pending ? kPendingWaitHintMs : 0;
  ::SetServiceStatus(status_handle_, &status);
}

DWORD WINAPI Win32ServiceManagerLink::HandleControl(DWORD control, DWORD /*event_type*/,
                                                    void* /*event_data*/, void* context) {
  auto* self = static_cast<Win32ServiceManagerLink*>(context);
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN: {
      Handler handler;
      {
        const std::lock_guard lock(self->mutex_);
        handler = self->handler_;
        if (!handler) self->stop_control_ = control;
      }
      if (handler) handler(static_cast<int>(control));
      return NO_ERROR;
    }
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

}  // namespace orvik::platform
