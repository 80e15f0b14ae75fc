// UniqueHandle: owns one Windows kernel object handle and closes it once.
// INVALID_HANDLE_VALUE and null both mean "no handle" (CreateFile returns the
// one on failure, CreateEvent the other).
#pragma once

#include <windows.h>

#include <utility>

namespace orvik::platform {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(Valid(handle) ? handle : nullptr) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  bool valid() const { return handle_ != nullptr; }
  HANDLE get() const { return handle_; }
  HANDLE release() { return std::exchange(handle_, nullptr); }
  void reset(HANDLE handle = nullptr) {
    if (handle_ != nullptr) ::CloseHandle(handle_);
    handle_ = Valid(handle) ? handle : nullptr;
  }

 private:
  static bool Valid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

  HANDLE handle_ = nullptr;
};

}  // namespace orvik::platform
