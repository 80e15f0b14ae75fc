// Win32ServiceManagerLink: the service control manager of a Windows service
// (the ServiceManagerLink). Made in the service's main function, it
// registers the control handler; the manager's stop and shut-down controls
// become termination requests (the control code as their code), and
// Report() is SetServiceStatus for an own-process service.
//
// Report may be called from any thread; the handler runs in the thread of
// StartServiceCtrlDispatcher. One object per service run.
#pragma once

#include <windows.h>

#include <mutex>

#include "platform/service_manager_link.h"

namespace orvik::platform {

class Win32ServiceManagerLink : public ServiceManagerLink {
 public:
  // How long the manager should wait for the next report while starting or
  // stopping (the stop ends the acquisition within a few seconds).
  static constexpr DWORD kPendingWaitHintMs = 15'000;

  explicit Win32ServiceManagerLink(const wchar_t* service_name);

  Win32ServiceManagerLink(const Win32ServiceManagerLink&) = delete;
  Win32ServiceManagerLink& operator=(const Win32ServiceManagerLink&) = delete;

  // A stop that came before Listen is handed over at once.
  void Listen(Handler handler) override;
  // False when the handler could not be registered (not started by the
  // manager): nothing can be reported then.
  bool ok() const override { return status_handle_ != nullptr; }
  void Report(ServiceState state, int exit_code = 0) override;

 private:
  static DWORD WINAPI HandleControl(DWORD control, DWORD event_type, void* event_data,
                                    void* context);

  SERVICE_STATUS_HANDLE status_handle_ = nullptr;
  std::mutex mutex_;        // guards:
  Handler handler_;         // the program's listener
  DWORD stop_control_ = 0;  // a stop or shut-down that came before Listen
  DWORD checkpoint_ = 0;    // counts the reports of a pending state
  DWORD current_state_ = SERVICE_START_PENDING;
};

}  // namespace orvik::platform
