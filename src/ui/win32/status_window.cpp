#include "ui/win32/status_window.h"

#include <algorithm>
#include <utility>

#include "service/program_intervals.h"

namespace orvik::ui::win32 {

namespace {

constexpr int kClientWidth = 294;
constexpr int kClientHeight = 86;
constexpr int kLabelGap = 8;  // between two texts on one line
// The widest texts of the time and date labels: the decoders frame the time
// of a message without a valid fix with "?".
constexpr const char* kWidestTime = "?00:00:00?";
constexpr const char* kWidestDate = "00.00.0000";
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWarning = RGB(192, 0, 0);

enum : int {
  kGmtOffsetItem = 101,  // GMT_offset
  kContinuousItem,       // Continuous_1s
  kParametersItem,       // Parameetrid1
  kConnectionsItem,      // Programmist1
  kAboutItem,            // About1
  kSoundOffButton = 201,
  kClockKeepingLabel,
  kOtherLabel,
};
enum : UINT_PTR { kDisplayTimer = 1, kCommunicationTimer = 2 };  // Timer1, Timer2

UINT TimerMs(std::chrono::milliseconds interval) { return static_cast<UINT>(interval.count()); }

}  // namespace

StatusWindow::StatusWindow(service::SharedState& shared, StatusWindowHooks hooks)
    : shared_(shared),
      hooks_(std::move(hooks)),
      display_(shared_, hooks_.notification_area),
      window_font_(MakeFont(11, false)),
      warning_font_(MakeFont(16, true, L"Arial")),
      time_font_(MakeFont(19, true)),
      satellites_font_(MakeFont(16, true)),
      clock_keeping_font_(MakeFont(12, true)) {
  menu_ = BuildMenu();
  Create(L"TForm2", L"Orvik - GPS Time", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 209, 187,
         kClientWidth, kClientHeight, menu_);
  BuildClientArea();
  ::SetTimer(handle(), kCommunicationTimer, TimerMs(service::kCommunicationCheckInterval),
             nullptr);
}

StatusWindow::~StatusWindow() {
  ::KillTimer(handle(), kDisplayTimer);
  ::KillTimer(handle(), kCommunicationTimer);
}

HMENU StatusWindow::BuildMenu() {
  const HMENU bar = ::CreateMenu();
  const HMENU commands = ::CreatePopupMenu();  // Seadmine1
  ::AppendMenuW(commands, MF_STRING, kGmtOffsetItem, L"GMT difference");
  ::AppendMenuW(commands, MF_STRING, kContinuousItem, L"Time transm. interval");
  ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(commands), L"Commands to GPS");
  const HMENU setup = ::CreatePopupMenu();  // Seaded1
  ::AppendMenuW(setup, MF_STRING, kParametersItem, L"Setup parameters");
  ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(setup), L"Setup");
  ::AppendMenuW(bar, MF_STRING, kConnectionsItem, L"Connections");
  ::AppendMenuW(bar, MF_STRING, kAboutItem, L"About");
  return bar;
}

void StatusWindow::BuildClientArea() {
  const HWND self = handle();
  ::SendMessageW(self, WM_SETFONT, reinterpret_cast<WPARAM>(window_font_.get()), FALSE);

  no_communication_ = AddLabel(self, kOtherLabel, 4, 5, "No communication!", warning_font_.get());
  ::ShowWindow(no_communication_, SW_HIDE);

  time_ = AddLabel(self, kOtherLabel, 4, 26, "Time", time_font_.get());
  // The date starts behind the widest time, so no time runs into it.
  const int date_left = std::max(108, 4 + TextWidth(time_font_.get(), kWidestTime) + kLabelGap);
  date_ = AddLabel(self, kOtherLabel, date_left, 26, "Date", time_font_.get());
  satellites_title_ =
      AddLabel(self, kOtherLabel, 4, 58, "Tracked satellites:", satellites_font_.get());
  const int counts_left = std::max(171, LabelRight(satellites_title_) + kLabelGap / 2);
  satellites_ = AddLabel(self, kOtherLabel, counts_left, 56, "0 / 0", satellites_font_.get());

  no_satellite_bar_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_OWNERDRAW,
                                        counts_left - 1, 73, 41, 7, self, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr);

  sound_off_ = ::CreateWindowExW(
      0, L"BUTTON", L"Sound Off", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 231, 6, 60,
      20, self, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSoundOffButton)),
      ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(sound_off_, WM_SETFONT, reinterpret_cast<WPARAM>(window_font_.get()), FALSE);

  client_width_ = std::max(kClientWidth,
                           date_left + TextWidth(time_font_.get(), kWidestDate) + kLabelGap / 2);
  clock_keeping_ = ::CreateWindowExW(
      0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_NOPREFIX, 4, kClientHeight, client_width_ - 8, 1,
      self, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kClockKeepingLabel)),
      ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(clock_keeping_, WM_SETFONT,
                 reinterpret_cast<WPARAM>(clock_keeping_font_.get()), FALSE);
  ShowClockKeeping(std::string());
}

void StatusWindow::ShowClockKeeping(const std::string& problem) {
  int client_height = kClientHeight;
  if (!problem.empty()) {
    // A line of its own under the satellite counts; the window grows by it.
    const std::wstring wide = Widen(problem);
    RECT text{0, 0, client_width_ - 8, 0};
    const HDC dc = ::GetDC(clock_keeping_);
    const HGDIOBJ previous = ::SelectObject(dc, clock_keeping_font_.get());
    ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &text,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    ::SelectObject(dc, previous);
    ::ReleaseDC(clock_keeping_, dc);
    ::SetWindowTextW(clock_keeping_, wide.c_str());
    ::SetWindowPos(clock_keeping_, nullptr, 4, kClientHeight, client_width_ - 8, text.bottom,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    client_height = kClientHeight + text.bottom + 4;
  } else {
    ::ShowWindow(clock_keeping_, SW_HIDE);
  }
  clock_keeping_text_ = problem;
  RECT outer, client;
  ::GetWindowRect(handle(), &outer);
  ::GetClientRect(handle(), &client);
  ::SetWindowPos(handle(), nullptr, 0, 0,
                 outer.right - outer.left - client.right + client_width_,
                 outer.bottom - outer.top - client.bottom + client_height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void StatusWindow::StartupCompleted() {
  if (!display_timer_running_) {
    ::SetTimer(handle(), kDisplayTimer, TimerMs(service::kDisplayTickInterval), nullptr);
    display_timer_running_ = true;
  }
  // A start-up completed: the error of an earlier one no longer holds.
  if (const std::string shown = display_.StartupCompleted(); !shown.empty() && hooks_.withdraw) {
    hooks_.withdraw(shown);
  }
}

void StatusWindow::StartupFailed(const std::string& message) {
  display_.StartupFailed(message);
  if (hooks_.report) hooks_.report(message);
}

void StatusWindow::SetCommandsMenuEnabled(bool enabled) {
  ::EnableMenuItem(menu_, 0, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
  ::DrawMenuBar(handle());
}

void StatusWindow::OnDisplayTick() {
  const bool switched = hooks_.summer_switch_tick && hooks_.summer_switch_tick();
  const DisplayTickResult tick = display_.DisplayTick(switched);
  if (tick.skipped) return;
  if (tick.hide_windows) {
    Hide();
    if (hooks_.hide_main_form) hooks_.hide_main_form();
  }
  if (tick.texts) {
    SetLabelText(time_, tick.texts->TimeText);
    SetLabelText(date_, tick.texts->DateText);
    SetLabelText(satellites_, tick.texts->SatText);
  }
  if (tick.warning_lines != clock_keeping_text_) ShowClockKeeping(tick.warning_lines);
}

void StatusWindow::OnCommunicationTick() {
  const bool sound_disabled = hooks_.sound_disabled && hooks_.sound_disabled();
  const CommunicationTickResult tick = display_.CommunicationTick(sound_disabled);
  ::ShowWindow(no_satellite_bar_, tick.no_satellite ? SW_SHOWNA : SW_HIDE);
  ::ShowWindow(no_communication_, tick.no_communication ? SW_SHOWNA : SW_HIDE);
  if (tick.beep && hooks_.beep) hooks_.beep();
}

void StatusWindow::RunCommand(const std::function<core::Status()>& command) {
  if (!command) return;
  if (const core::Status sent = command(); !sent.ok() && hooks_.report) hooks_.report(sent.message());
}

void StatusWindow::OnCommand(int id) {
  const auto call = [](const std::function<void()>& hook) {
    if (hook) hook();
  };
  switch (id) {
    case kGmtOffsetItem: RunCommand(hooks_.gmt_offset); break;
    case kContinuousItem: RunCommand(hooks_.transmit_interval); break;
    case kParametersItem: call(hooks_.show_setup); break;
    case kConnectionsItem: call(hooks_.show_connections); break;
    case kAboutItem: call(hooks_.show_about); break;
    case kSoundOffButton: display_.SoundOff(); break;
    default: break;
  }
}

// The 38 x 6 picture of the no-satellite warning: a red bar (rows 2 to 4)
// on light grey, with one red pixel at the top left.
void StatusWindow::DrawNoSatelliteBar(const DRAWITEMSTRUCT& item) const {
  const HDC dc = item.hDC;
  ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
  const UniqueGdiObject<HBRUSH> grey(::CreateSolidBrush(RGB(192, 192, 192)));
  const UniqueGdiObject<HBRUSH> red(::CreateSolidBrush(kRed));
  const RECT picture{0, 0, 38, 6};
  const RECT bar{0, 2, 38, 5};
  ::FillRect(dc, &picture, grey.get());
  ::FillRect(dc, &bar, red.get());
  ::SetPixel(dc, 0, 0, kRed);
}

LRESULT StatusWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kDisplayTimer) OnDisplayTick();
      if (wparam == kCommunicationTimer) OnCommunicationTick();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam));
      return 0;
    case WM_CTLCOLORSTATIC: {
      const auto control = reinterpret_cast<HWND>(lparam);
      const auto dc = reinterpret_cast<HDC>(wparam);
      if (control == no_communication_) ::SetTextColor(dc, kRed);
      if (control == clock_keeping_) ::SetTextColor(dc, kWarning);
      ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item->hwndItem == no_satellite_bar_) DrawNoSatelliteBar(*item);
      return TRUE;
    }
    case WM_CLOSE:
      if (display_.CloseEndsProgram() && hooks_.end_program) {
        hooks_.end_program();
      } else {
        Hide();  // the program goes on
      }
      return 0;
    default:
      return Window::HandleMessage(message, wparam, lparam);
  }
}

}  // namespace orvik::ui::win32
