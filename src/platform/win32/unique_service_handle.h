// UniqueServiceHandle: owns one handle of the service manager (a manager or
// a service, from OpenSCManager, OpenService, CreateService) and closes it
// once.
#pragma once

#include <windows.h>

#include <utility>

namespace orvik::platform {

class UniqueServiceHandle {
 public:
  UniqueServiceHandle() = default;
  explicit UniqueServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  ~UniqueServiceHandle() { reset(); }

  UniqueServiceHandle(UniqueServiceHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueServiceHandle& operator=(UniqueServiceHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  UniqueServiceHandle(const UniqueServiceHandle&) = delete;
  UniqueServiceHandle& operator=(const UniqueServiceHandle&) = delete;

  bool valid() const { return handle_ != nullptr; }
  SC_HANDLE get() const { return handle_; }
  void reset() {
    if (handle_ != nullptr) ::CloseServiceHandle(handle_);
    handle_ = nullptr;
  }

 private:
  SC_HANDLE handle_ = nullptr;
};

}  // namespace orvik::platform
