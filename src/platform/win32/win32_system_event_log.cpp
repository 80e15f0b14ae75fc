#include "platform/win32/win32_system_event_log.h"

#include <string>

#include "platform/win32/win32_wide_text.h"

namespace orvik::platform {

Win32SystemEventLog::Win32SystemEventLog(const wchar_t* source)
    : source_(::RegisterEventSourceW(nullptr, source)) {}

Win32SystemEventLog::~Win32SystemEventLog() {
  if (source_ != nullptr) ::DeregisterEventSource(source_);
}

void Win32SystemEventLog::Write(EventSeverity severity, std::string_view text) {
  if (source_ == nullptr) return;
  WORD type = EVENTLOG_INFORMATION_TYPE;
  DWORD event = kInformationEvent;
  if (severity == EventSeverity::kWarning) {
    type = EVENTLOG_WARNING_TYPE;
    event = kWarningEvent;
  } else if (severity == EventSeverity::kError) {
    type = EVENTLOG_ERROR_TYPE;
    event = kErrorEvent;
  }
  const std::wstring wide = WideFromUtf8(text);
  const wchar_t* strings[] = {wide.c_str()};
  ::ReportEventW(source_, type, 0, event, nullptr, 1, 0, strings, nullptr);
}

}  // namespace orvik::platform
