// The Windows desktop program's wiring on test doubles (fake clock, files,
// serial links and privilege) with the real Win32 windows and main loop:
// start-up errors in the error box, the receiver-commands menu, the
// Connections rows and "Exit". It needs a display, so it is not one of the
// unit tests in build-windows/tests: tests/windows/desktop_windows_e2e.sh
// runs it under Xvfb.
#include "ui/win32/desktop_program.h"

#include <winsock2.h>  // before windows.h
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "core/settings.h"
#include "core/settings_file.h"
#include "fakes/fake_serial_link.h"
#include "fakes/fake_system_clock.h"
#include "fakes/fake_text_files.h"
#include "fakes/fake_thread_priority.h"
#include "fakes/fake_time_privilege.h"
#include "fakes/service/recording_decoders.h"
#include "service/gps_time_service.h"
#include "service/win32/win32_main_loop.h"
#include "service/win32/winsock_session.h"
#include "support/dates.h"

namespace orvik::testing {
namespace {

using namespace std::chrono_literals;

core::Settings WithProtocol(std::int32_t protocol) {
  core::Settings settings;
  settings.Protocol = protocol;
  return settings;
}

class DesktopProgramTest : public ::testing::Test {
 protected:
  DesktopProgramTest() {
    clock_.SetNow(At(2026, 6, 1, 12));
    clock_.SetMachineZoneOffsetMinutes(120);  // as configured: no notice
  }

  void SetSettings(const core::Settings& settings) {
    files_.Set(core::kSettingsFileName, core::SettingsFileText(settings));
  }

  // The service on the doubles, listening on a free port, and the program.
  void Start() {
    service::ServiceOptions options;
    options.server.port = 0;
    options.server.look_up_host_names = false;
    options.restart_pause = 10ms;
    options.stop_check_interval = 5ms;
    // No period runs by itself during a test.
    options.watchdog_interval = 1h;
    options.display_tick_interval = 1h;
    options.communication_check_interval = 1h;
    service_ = std::make_unique<service::GpsTimeService>(
        service::ServiceEnvironment{
            .clock = clock_,
            .monotonic = platform::MachineMonotonicClock(),
            .files = files_,
            .privilege = privilege_,
            .thread_priority = thread_priority_,
            .log = log_,
            .loop = loop_,
            .working_dir = ".",
            .make_link = [] { return std::make_unique<FakeSerialLink>(); },
            .make_refclock_socket = {},
        },
        options);
    program_ = std::make_unique<ui::win32::DesktopProgram>(
        *service_, loop_,
        ui::win32::DesktopOptions{.beep = [] {},
                                  .quit =
                                      [this] {
                                        quit_with_acquisition_running_ =
                                            service_->AcquisitionRunning();
                                        quit_ = true;
                                      }});
  }

  // Runs the loop until `done` holds, for at most 10 s; returns `done`.
  bool RunUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    bool stopped_here = false;
    auto check = loop_.MakeTimer([&] {
      if (done() || std::chrono::steady_clock::now() > deadline) {
        stopped_here = true;
        loop_.Quit();
      }
    });
    check->Start(10ms);
    loop_.Run();
    EXPECT_TRUE(stopped_here) << "the loop ended by itself";
    return done();
  }

  bool CommandsMenuEnabled() {
    const HMENU bar = ::GetMenu(program_->statusWindow().handle());
    return (::GetMenuState(bar, 0, MF_BYPOSITION) & MF_GRAYED) == 0;
  }

  const service::WinsockSession winsock_;
  service::Win32MainLoop loop_;
  FakeSystemClock clock_;
  FakeTextFiles files_;
  FakeTimePrivilege privilege_;
  FakeThreadPriority thread_priority_;
  RecordingLogWriter log_;
  std::unique_ptr<service::GpsTimeService> service_;
  std::unique_ptr<ui::win32::DesktopProgram> program_;
  bool quit_ = false;
  bool quit_with_acquisition_running_ = true;
};

TEST_F(DesktopProgramTest, StartupErrorIsShownUntilALaterStartCompletes) {
  core::Settings bad;
  bad.PortNumberText = "x";
  SetSettings(bad);
  Start();
  ui::win32::ErrorBox& box = program_->errorBox();
  EXPECT_TRUE(box.Visible());
  EXPECT_NE(box.Shown().find("'x' is not a valid integer value"), std::string::npos) << box.Shown();
  EXPECT_FALSE(service_->AcquisitionRunning());

  SetSettings(core::Settings{});
  service_->RequestRestart();
  EXPECT_TRUE(RunUntil([&] { return service_->AcquisitionRunning() && !box.Visible(); }));
}

TEST_F(DesktopProgramTest, CommandsMenuIsEnabledForMotorolaOnly) {
  SetSettings(WithProtocol(core::kProtocolNmea4800));
  Start();
  EXPECT_FALSE(CommandsMenuEnabled());

  // A restart on other settings switches the menu.
  SetSettings(WithProtocol(core::kProtocolMotorolaOncore));
  bool restarted = false;
  service_->RequestRestart([&](const core::Status&) { restarted = true; });
  ASSERT_TRUE(RunUntil([&] { return restarted; }));
  EXPECT_TRUE(CommandsMenuEnabled());
}

// The edit field of `window` that shows `text`; null when none does.
HWND EditShowing(HWND window, const std::wstring& text) {
  for (HWND child = ::FindWindowExW(window, nullptr, L"Edit", nullptr); child != nullptr;
       child = ::FindWindowExW(window, child, L"Edit", nullptr)) {
    wchar_t shown[16] = {};
    ::GetWindowTextW(child, shown, 16);
    if (shown == text) return child;
  }
  return nullptr;
}

TEST_F(DesktopProgramTest, SetupDialogAppliesItsEditsWhenAnotherWindowIsActivated) {
  SetSettings(core::Settings{});
  Start();
  const HWND setup = program_->setupDialog().handle();
  const auto activate = [](HWND window) { ::SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0); };
  activate(setup);                               // shows the settings
  const HWND field = EditShowing(setup, L"60");  // the clock-updating interval
  ASSERT_NE(field, nullptr);
  ::SetWindowTextW(field, L"30");
  activate(program_->statusWindow().handle());  // the operator left the dialog
  EXPECT_TRUE(RunUntil([&] {
    return service_->settings().ClockUpdateIntervalText == "30" && service_->AcquisitionRunning();
  }));
  EXPECT_NE(files_.Get(core::kSettingsFileName).value_or("").find("\r\n30\r\n"), std::string::npos);
}

TEST_F(DesktopProgramTest, ConnectionsWindowListsTheConnectedClients) {
  SetSettings(core::Settings{});
  Start();
  const ui::win32::ConnectionsWindow& connections = program_->connectionsWindow();
  const auto first_address = [&] { return connections.CellText(0, 1); };
  EXPECT_EQ(first_address(), "");

  const SOCKET client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(service_->server().ListeningPort());
  ASSERT_EQ(::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  EXPECT_TRUE(RunUntil([&] { return first_address() == "127.0.0.1"; }));
  EXPECT_EQ(connections.CellText(0, 0), " 1.");

  ::closesocket(client);
  EXPECT_TRUE(RunUntil([&] { return first_address().empty(); }));
}

TEST_F(DesktopProgramTest, ExitEndsTheLoopOnlyOnceTheAcquisitionHasStopped) {
  SetSettings(core::Settings{});
  Start();
  ASSERT_TRUE(service_->AcquisitionRunning());
  program_->Exit();
  EXPECT_FALSE(program_->trayOwner().IconShown());
  ASSERT_TRUE(RunUntil([&] { return quit_; }));
  EXPECT_FALSE(quit_with_acquisition_running_);
  EXPECT_FALSE(service_->AcquisitionRunning());
}

// Windows ends the process as soon as WM_ENDSESSION returns: the acquisition
// must have ended by then, without the loop.
TEST_F(DesktopProgramTest, EndOfTheSessionEndsTheAcquisitionBeforeReturning) {
  SetSettings(core::Settings{});
  Start();
  ASSERT_TRUE(service_->AcquisitionRunning());
  ::SendMessageW(program_->trayOwner().handle(), WM_ENDSESSION, TRUE, 0);
  EXPECT_FALSE(service_->AcquisitionRunning());
  EXPECT_FALSE(program_->trayOwner().IconShown());
}

}  // namespace
}  // namespace orvik::testing
