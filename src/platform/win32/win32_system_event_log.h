// Win32SystemEventLog: the Windows event log (Application) under one event
// source, "Orvik GPS Time" for the programs. The installer registers the
// source with orvik-gpstimed.exe as its message file, whose message table
// (event_messages.mc) shows each event's text as written. Any thread.
#pragma once

#include <windows.h>

#include <string_view>

#include "platform/system_event_log.h"

namespace orvik::platform {

class Win32SystemEventLog : public SystemEventLog {
 public:
  static constexpr wchar_t kSourceName[] = L"Orvik GPS Time";

  // The event identifiers of the message table, one per severity.
  static constexpr DWORD kInformationEvent = 0x40000001;
  static constexpr DWORD kWarningEvent = 0x80000002;
  static constexpr DWORD kErrorEvent = 0xC0000003;

  explicit Win32SystemEventLog(const wchar_t* source = kSourceName);
  ~Win32SystemEventLog() override;

  Win32SystemEventLog(const Win32SystemEventLog&) = delete;
  Win32SystemEventLog& operator=(const Win32SystemEventLog&) = delete;

  void Write(EventSeverity severity, std::string_view text) override;

 private:
  HANDLE source_ = nullptr;  // RegisterEventSource's handle, or null
};

}  // namespace orvik::platform
