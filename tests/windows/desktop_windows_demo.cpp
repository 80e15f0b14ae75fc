// The Windows desktop windows on made-up data, for the end-to-end test under
// Xvfb (tests/windows/desktop_windows_e2e.sh) and for screenshots: the
// notification-area icon with its menu, the status window fed a ticking
// time, the setup dialog on settings kept in memory, the Connections window
// with two clients and the About window. No receiver, no clock setting, no
// sockets, no files.
//   desktop_windows_demo.exe [--show-all]
// (--show-all: every window in sight, and the error box with a message).
// It prints "icon shown" once the notification area took the icon and
// "exit" when "Exit" ended it.
#include <winsock2.h>  // before windows.h
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <string>

#include "service/client_table.h"
#include "service/shared_state.h"
#include "service/win32/win32_main_loop.h"
#include "ui/win32/about_window.h"
#include "ui/win32/connections_window.h"
#include "ui/win32/error_box.h"
#include "ui/win32/program_icon.h"
#include "ui/win32/setup_dialog.h"
#include "ui/win32/status_window.h"
#include "ui/win32/tray_owner.h"

namespace {

using namespace orvik;

void Say(const char* line) {
  std::printf("%s\n", line);
  std::fflush(stdout);
}

service::DisplayTexts FakeTexts() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_s(&utc, &now);
  char time_text[16], date_text[16];
  std::strftime(time_text, sizeof time_text, "%H:%M:%S", &utc);
  std::strftime(date_text, sizeof date_text, "%d.%m.%Y", &utc);
  return {time_text, date_text, "7 / 11"};
}

}  // namespace

int main(int argc, char** argv) {
  const bool show_all = argc > 1 && std::strcmp(argv[1], "--show-all") == 0;
  service::Win32MainLoop loop;
  service::SharedState shared;
  shared.clock_keeping.SetProblem("PC clock not set: no time privilege");

  ui::win32::ConnectionsWindow connections;
  ui::win32::AboutWindow about;
  ui::win32::ErrorBox error_box;
  loop.AddDialog(error_box.handle());
  const auto report = [&](const std::string& message) { error_box.Report(message); };
  core::Settings settings;
  ui::win32::SetupDialog setup(ui::SetupFormHooks{
      .settings = [&]() -> const core::Settings& { return settings; },
      .apply_settings =
          [&](const core::Settings& edited, std::function<void()> restarted) {
            settings = edited;
            if (restarted) loop.Post(std::move(restarted));
            return core::Status::Ok();
          },
      .report = report,
      .withdraw = [&](const std::string& message) { error_box.Withdraw(message); },
      .after_apply = {},
  });
  loop.AddDialog(setup.handle());
  // The hidden main window and its icon first, as at the program's start:
  // whether the notification area took the icon decides how the status
  // window behaves.
  ui::win32::StatusWindow* status_pointer = nullptr;
  ui::win32::TrayOwnerHooks tray_hooks;
  tray_hooks.quit = [&] {
    Say("exit");
    loop.Quit();
  };
  tray_hooks.notification_area_appeared = [&] {
    if (status_pointer != nullptr) status_pointer->MoveIntoNotificationArea();
    Say("icon shown");
  };
  const ui::win32::UniqueIcon icon(ui::win32::MakeProgramIcon());
  ui::win32::TrayOwner tray(icon.get() != nullptr ? icon.get() : ::LoadIconW(nullptr, IDI_APPLICATION),
                            tray_hooks);
  tray.ShowAtStart();
  if (tray.IconShown()) Say("icon shown");

  ui::win32::StatusWindowHooks status_hooks;
  status_hooks.notification_area = tray.IconShown();
  status_hooks.report = report;
  status_hooks.summer_switch_tick = [] { return false; };
  status_hooks.sound_disabled = [] { return true; };
  // As with a receiver that takes no commands: the operator is told.
  status_hooks.gmt_offset = [] {
    return core::Status::Error(core::StatusCode::kInvalidArgument, "No receiver in this demo");
  };
  status_hooks.transmit_interval = [] { return core::Status::Ok(); };
  status_hooks.hide_main_form = [&] { tray.HideMainForm(); };
  status_hooks.end_program = [&] { loop.Quit(); };
  status_hooks.show_connections = [&] { connections.ShowInFront(); };
  status_hooks.show_about = [&] { about.ShowInFront(); };
  status_hooks.show_setup = [&] { setup.ShowInFront(); };
  ui::win32::StatusWindow status(shared, status_hooks);
  status_pointer = &status;

  tray.SetStatusWindow(&status);
  // The setup dialog hears of every activation of the program's windows.
  const std::initializer_list<ui::win32::Window*> windows = {&status, &tray, &connections, &about,
                                                              &setup};
  for (ui::win32::Window* window : windows) {
    window->SetActivationObserver([&](HWND active) { setup.WindowActivated(active); });
  }

  service::ClientTable clients;
  clients.ClientConnect(1, "127.0.0.1", "localhost", 50312);
  clients.ClientConnect(2, "192.168.1.20", "", 49170);
  connections.ClientTableChanged(clients);

  // The receiver's texts, once a second, as the decoders would leave them.
  auto receiver = loop.MakeTimer([&] {
    shared.display.SetTexts(FakeTexts());
    shared.display.NewDisplayFlag = true;
    shared.display.DataSeenFlag = true;
  });
  receiver->Start(std::chrono::milliseconds(1000));

  status.StartupCompleted();
  if (show_all || !tray.IconShown()) status.ShowInFront();  // nothing else could show it
  if (show_all) {
    connections.ShowInFront();
    about.ShowInFront();
    setup.ShowInFront();
    report("No receiver in this demo");
  }
  loop.Run();
  // The windows go one by one; none may tell the dialog of an activation
  // after it has gone.
  for (ui::win32::Window* window : windows) window->SetActivationObserver(nullptr);
  loop.RemoveDialog(setup.handle());
  loop.RemoveDialog(error_box.handle());
  return 0;
}
