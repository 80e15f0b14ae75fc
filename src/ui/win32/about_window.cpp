#include "ui/win32/about_window.h"

#include <algorithm>
#include <string>

#include "orvik_version.h"

namespace orvik::ui::win32 {

namespace {
constexpr int kEdgeMargin = 8;
}  // namespace

AboutWindow::AboutWindow() : title_font_(MakeFont(13, true)), small_font_(MakeFont(11, true)) {
  const std::string version = std::string("Ver. ") + kVersion + "  TCP/IP Server";
  // As wide as the lines need, with the same margin on the right as on the left.
  const int width = std::max(
      {176, kEdgeMargin * 2 + TextWidth(title_font_.get(), "Orvik - GPS Time"),
       kEdgeMargin * 2 + TextWidth(small_font_.get(), "NMEA and Motorola protocols"),
       kEdgeMargin * 2 + TextWidth(title_font_.get(), version)});
  Create(L"TForm3", L"About", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 352, 192, width, 82);
  AddLabel(handle(), 1, kEdgeMargin, 26, "Orvik - GPS Time", title_font_.get());  // Label1
  AddLabel(handle(), 2, kEdgeMargin, 45, "NMEA and Motorola protocols", small_font_.get());
  AddLabel(handle(), 3, kEdgeMargin, 65, version, title_font_.get());  // Label3
}

LRESULT AboutWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CLOSE) {
    Hide();
    return 0;
  }
  return Window::HandleMessage(message, wparam, lparam);
}

}  // namespace orvik::ui::win32
