#include "ui/win32/about_window.h"

#include <algorithm>
#include <string>

#include "orvik_version.h"

namespace orvik::ui::win32 {

namespace {
constexpr int kEdgeMargin = 8;
}  // namespace

AboutWindow::AboutWindow() {
  Create(L"TForm3", L"About", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 352, 192, 176, 82);
  const std::string version = std::string("Ver. ") + kVersion + "  TCP/IP Server";
  title_ = AddLabel(handle(), 1, 0, 0, "Orvik - GPS Time", nullptr);                 // Label1
  protocols_ = AddLabel(handle(), 2, 0, 0, "NMEA and Motorola protocols", nullptr);  // Label2
  version_ = AddLabel(handle(), 3, 0, 0, version, nullptr);                          // Label3
  LayOut();
}

void AboutWindow::LayOut() {
  UniqueFont title_font = MakeFont(dpi(), 13, true);
  UniqueFont small_font = MakeFont(dpi(), 11, true);
  const int margin = Scale(kEdgeMargin);
  PlaceLabel(title_, margin, Scale(26), title_font.get());
  const int protocols_top = std::max(Scale(45), ChildBottom(title_) + Scale(2));
  PlaceLabel(protocols_, margin, protocols_top, small_font.get());
  const int version_top = std::max(Scale(65), ChildBottom(protocols_) + Scale(4));
  PlaceLabel(version_, margin, version_top, title_font.get());
  // As wide as the lines need, with the same margin on the right as on the left.
  int width = Scale(176);
  for (const HWND line : {title_, protocols_, version_})
    width = std::max(width, LabelRight(line) + margin);
  SetClientSize(width, std::max(Scale(82), ChildBottom(version_) + Scale(4)));
  title_font_ = std::move(title_font);  // the labels have the new fonts: the old ones may go
  small_font_ = std::move(small_font);
}

LRESULT AboutWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CLOSE) {
    Hide();
    return 0;
  }
  return Window::HandleMessage(message, wparam, lparam);
}

}  // namespace orvik::ui::win32
