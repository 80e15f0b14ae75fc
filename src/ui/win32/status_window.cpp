#include "ui/win32/status_window.h"

#include <algorithm>
#include <utility>

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
}  // namespace

StatusWindow::StatusWindow(StatusWindowHooks hooks) : hooks_(std::move(hooks)), display_(hooks_) {
  menu_ = BuildMenu();
  Create(L"TForm2", L"Orvik - GPS Time", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 209, 187,
         kClientWidth, kClientHeight, menu_);
  BuildClientArea();
  LayOut();
}

StatusWindow::~StatusWindow() = default;

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

// The controls, with their texts; LayOut gives them fonts, places and sizes.
void StatusWindow::BuildClientArea() {
  const HWND self = handle();
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  no_communication_ = AddLabel(self, kOtherLabel, 0, 0, "No communication!", nullptr);
  ::ShowWindow(no_communication_, SW_HIDE);
  time_ = AddLabel(self, kOtherLabel, 0, 0, "Time", nullptr);
  date_ = AddLabel(self, kOtherLabel, 0, 0, "Date", nullptr);
  satellites_title_ = AddLabel(self, kOtherLabel, 0, 0, "Tracked satellites:", nullptr);
  satellites_ = AddLabel(self, kOtherLabel, 0, 0, "0 / 0", nullptr);
  no_satellite_bar_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_OWNERDRAW, 0, 0, 1, 1,
                                        self, nullptr, instance, nullptr);
  sound_off_ = ::CreateWindowExW(
      0, L"BUTTON", L"Sound Off", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 1, 1,
      self, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSoundOffButton)), instance, nullptr);
  clock_keeping_ = ::CreateWindowExW(
      0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_NOPREFIX, 0, 0, 1, 1, self,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kClockKeepingLabel)), instance, nullptr);
}

// The places of the 96-DPI layout, scaled; where a font of this DPI needs
// more room than the scaled place gives, the place gives way.
void StatusWindow::LayOut() {
  Fonts fonts{.window = MakeFont(dpi(), 0, false),
              .warning = MakeFont(dpi(), 16, true),
              .time = MakeFont(dpi(), 19, true),
              .satellites = MakeFont(dpi(), 16, true),
              .clock_keeping = MakeFont(dpi(), 12, true)};
  const int gap = Scale(kLabelGap);
  ::SendMessageW(handle(), WM_SETFONT, reinterpret_cast<WPARAM>(fonts.window.get()), FALSE);
  PlaceLabel(no_communication_, Scale(4), Scale(5), fonts.warning.get());

  // "Sound Off" as wide and high as its text needs, at least its 96-DPI size.
  SetControlFont(sound_off_, fonts.window.get());
  const int button_width =
      std::max(Scale(60), TextWidth(fonts.window.get(), "Sound Off") + Scale(16));
  const int button_height = std::max(Scale(20), TextHeight(fonts.window.get()) + Scale(8));
  ::SetWindowPos(sound_off_, nullptr, Scale(231), Scale(6), button_width, button_height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

  const int time_top = std::max(Scale(26), Scale(6) + button_height + Scale(2));
  PlaceLabel(time_, Scale(4), time_top, fonts.time.get());
  // The date starts behind the widest time, so no time runs into it.
  const int date_left =
      std::max(Scale(108), Scale(4) + TextWidth(fonts.time.get(), kWidestTime) + gap);
  PlaceLabel(date_, date_left, time_top, fonts.time.get());
  const int counts_top = std::max(Scale(56), time_top + TextHeight(fonts.time.get()) + Scale(4));
  PlaceLabel(satellites_title_, Scale(4), counts_top + Scale(2), fonts.satellites.get());
  const int counts_left = std::max(Scale(171), LabelRight(satellites_title_) + gap / 2);
  PlaceLabel(satellites_, counts_left, counts_top, fonts.satellites.get());
  const int bar_top =
      std::max(Scale(73), counts_top + TextHeight(fonts.satellites.get()) + Scale(1));
  ::SetWindowPos(no_satellite_bar_, nullptr, counts_left - Scale(1), bar_top, Scale(41), Scale(7),
                 SWP_NOZORDER | SWP_NOACTIVATE);

  client_width_ =
      std::max({Scale(kClientWidth), date_left + TextWidth(fonts.time.get(), kWidestDate) + gap / 2,
                Scale(231) + button_width + Scale(3), LabelRight(satellites_) + gap});
  base_height_ = std::max(Scale(kClientHeight), bar_top + Scale(7) + Scale(6));
  SetControlFont(clock_keeping_, fonts.clock_keeping.get());
  fonts_ = std::move(fonts);  // the controls have the new fonts: the old ones may go
  ShowBottomLine();
}

void StatusWindow::SetNote(const std::string& note) {
  if (note == note_) return;
  note_ = note;
  ShowBottomLine();
}

void StatusWindow::ShowBottomLine() {
  const std::string& line = clock_keeping_text_.empty() ? note_ : clock_keeping_text_;
  int client_height = base_height_;
  if (!line.empty()) {
    // A line of its own under the satellite counts; the window grows by it.
    const std::wstring wide = Widen(line);
    const int width = client_width_ - Scale(8);
    RECT text{0, 0, width, 0};
    const HDC dc = ::GetDC(clock_keeping_);
    const HGDIOBJ previous = ::SelectObject(dc, fonts_.clock_keeping.get());
    ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &text,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    ::SelectObject(dc, previous);
    ::ReleaseDC(clock_keeping_, dc);
    ::SetWindowTextW(clock_keeping_, wide.c_str());
    ::SetWindowPos(clock_keeping_, nullptr, Scale(4), base_height_, width, text.bottom,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::InvalidateRect(clock_keeping_, nullptr, TRUE);
    client_height = base_height_ + text.bottom + Scale(4);
  } else {
    ::ShowWindow(clock_keeping_, SW_HIDE);
  }
  SetClientSize(client_width_, client_height);
}

void StatusWindow::ShowStatus(const service::StatusSnapshot& snapshot) {
  if (snapshot.tick == service::StatusSnapshot::Tick::kDisplay) {
    OnDisplayTick(snapshot);
  } else {
    OnCommunicationTick(snapshot);
  }
}

void StatusWindow::StartupCompleted() { display_.StartupCompleted(); }

void StatusWindow::StartupFailed(const std::string& message) { display_.StartupFailed(message); }

void StatusWindow::SetCommandsMenuEnabled(bool enabled) {
  ::EnableMenuItem(menu_, 0, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
  ::DrawMenuBar(handle());
}

void StatusWindow::SetConnectionsMenuEnabled(bool enabled) {
  ::EnableMenuItem(menu_, kConnectionsItem, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  ::DrawMenuBar(handle());
}

void StatusWindow::OnDisplayTick(const service::StatusSnapshot& snapshot) {
  const DisplayTickResult tick = display_.DisplayTick(snapshot);
  if (tick.hide_windows) {
    Hide();
    if (hooks_.hide_main_form) hooks_.hide_main_form();
  }
  if (tick.texts) {
    SetLabelText(time_, tick.texts->TimeText);
    SetLabelText(date_, tick.texts->DateText);
    SetLabelText(satellites_, tick.texts->SatText);
  }
  if (tick.warning_lines != clock_keeping_text_) {
    clock_keeping_text_ = tick.warning_lines;
    ShowBottomLine();
  }
}

void StatusWindow::OnCommunicationTick(const service::StatusSnapshot& snapshot) {
  const CommunicationTickResult tick = display_.CommunicationTick(snapshot);
  ::ShowWindow(no_satellite_bar_, tick.no_satellite ? SW_SHOWNA : SW_HIDE);
  ::ShowWindow(no_communication_, tick.no_communication ? SW_SHOWNA : SW_HIDE);
}

void StatusWindow::OnCommand(int id) {
  const auto call = [](const std::function<void()>& hook) {
    if (hook) hook();
  };
  switch (id) {
    case kGmtOffsetItem:
      display_.RunCommand(hooks_.gmt_offset);
      break;
    case kContinuousItem:
      display_.RunCommand(hooks_.transmit_interval);
      break;
    case kParametersItem:
      call(hooks_.show_setup);
      break;
    case kConnectionsItem:
      call(hooks_.show_connections);
      break;
    case kAboutItem:
      call(hooks_.show_about);
      break;
    case kSoundOffButton:
      display_.SoundOff();
      break;
    default:
      break;
  }
}

// The 38 x 6 picture (at 96 DPI) of the no-satellite warning: a red bar (rows 2 to 4)
// on light grey, with one red pixel at the top left.
void StatusWindow::DrawNoSatelliteBar(const DRAWITEMSTRUCT& item) const {
  const HDC dc = item.hDC;
  ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
  const UniqueGdiObject<HBRUSH> grey(::CreateSolidBrush(RGB(192, 192, 192)));
  const UniqueGdiObject<HBRUSH> red(::CreateSolidBrush(kRed));
  const RECT picture{0, 0, Scale(38), Scale(6)};
  const RECT bar{0, Scale(2), Scale(38), Scale(5)};
  const RECT corner{0, 0, Scale(1), Scale(1)};
  ::FillRect(dc, &picture, grey.get());
  ::FillRect(dc, &bar, red.get());
  ::FillRect(dc, &corner, red.get());
}

LRESULT StatusWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wparam));
      return 0;
    case WM_CTLCOLORSTATIC: {
      const auto control = reinterpret_cast<HWND>(lparam);
      const auto dc = reinterpret_cast<HDC>(wparam);
      if (control == no_communication_) ::SetTextColor(dc, kRed);
      // The note (the line without a warning) in the window's text colour.
      if (control == clock_keeping_ && !clock_keeping_text_.empty()) ::SetTextColor(dc, kWarning);
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
