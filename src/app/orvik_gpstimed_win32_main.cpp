// orvik-gpstimed.exe: the time server without windows, for Windows.
//   (no arguments)        the console program: works in its current
//                         directory ("GPS_parm.txt", "timeouts.txt",
//                         "GPS_log.txt"), the receiver on the COM port its
//                         settings name; status lines on stderr; Ctrl+C,
//                         Ctrl+Break, closing the console, log-off and
//                         shut-down end it in order.
//   --service             run by the service manager as the service
//                         "OrvikGpsTime" (in "<ProgramData>\Orvik GPS Time").
//   --install-service     register that service (automatic start, the
//                         LocalService account) and its event source.
//   --uninstall-service   stop and remove them.
//   --version             the version.
#include <winsock2.h>  // before <windows.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/visible_text.h"
#include "orvik_version.h"
#include "platform/win32/win32_error_text.h"
#include "platform/win32/win32_service_installer.h"
#include "platform/win32/win32_wide_text.h"
#include "service/win32/headless_windows_run.h"

namespace {

// The longest status line written; messages echo at most a glance of any
// file text, this bounds whatever else might reach stderr.
constexpr std::size_t kMaxStatusLineCharacters = 400;

// One status line on stderr. Any thread: stdio locks the stream per call.
void Say(const std::string& line) {
  const std::string visible = orvik::core::VisibleText(line, kMaxStatusLineCharacters);
  std::fprintf(stderr, "orvik-gpstimed: %s\n", visible.c_str());
  std::fflush(stderr);
}

// This program's full path, or "" when Windows does not tell it.
std::wstring ProgramPath() {
  std::wstring path(32'768, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return L"";
  path.resize(length);
  return path;
}

int InstallService() {
  using namespace orvik;
  const std::wstring program = ProgramPath();
  if (program.empty()) {
    Say("the service was not registered: this program's path is unknown");
    return 1;
  }
  const core::Status installed = platform::InstallWindowsService(
      service::TimeServerServiceIdentity(), L"\"" + program + L"\" --service", program);
  if (!installed.ok()) {
    Say("the service was not registered: " + installed.message());
    return 1;
  }
  Say("the service OrvikGpsTime (\"Orvik GPS Time\") is registered to run " +
      platform::Utf8FromWide(program) + "; start it with: sc start OrvikGpsTime");
  return 0;
}

int UninstallService() {
  using namespace orvik;
  const core::Status removed =
      platform::UninstallWindowsService(service::TimeServerServiceIdentity());
  if (!removed.ok()) {
    Say("the service was not removed: " + removed.message());
    return 1;
  }
  Say("the service OrvikGpsTime is removed");
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace orvik;
  const std::string_view option = argc == 2 ? std::string_view(argv[1]) : std::string_view();
  if (argc == 1) return service::RunConsoleTimeServer(Say);
  if (option == "--version") {
    std::printf("orvik-gpstimed %s\n", kVersion);
    return 0;
  }
  if (option == "--install-service") return InstallService();
  if (option == "--uninstall-service") return UninstallService();
  if (option == "--service") {
    if (service::RunTimeServerService()) return 0;
    Say("--service is for the service manager (" + platform::Win32ErrorText(::GetLastError()) +
        "); to run the server by hand, start it without arguments");
    return 1;
  }
  Say("usage: orvik-gpstimed [--version | --install-service | --uninstall-service | --service]");
  return 2;
}
