// The desktop program's windows at the DPI this process runs at (wine's
// LogPixels: tests/windows/desktop_windows_e2e.sh runs this at 96, 144 and
// 192) and after each is told that it moved to a monitor of another DPI
// (192 from 96, else 96):
// every control's text fits inside it (nothing clipped), no two visible
// controls overlap, and the fonts are scalable ones of the window's DPI.
// Linked with the desktop program's manifest, so it is per-monitor DPI
// aware as the program is. Needs a display.
#include <winsock2.h>
// after winsock2.h
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fakes/fake_com_port_list.h"
#include "ui/logic/setup_form.h"
#include "ui/win32/about_window.h"
#include "ui/win32/connections_window.h"
#include "ui/win32/error_box.h"
#include "ui/win32/setup_dialog.h"
#include "ui/win32/status_window.h"

namespace orvik::testing {
namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(text.size() - 1);
  return text;
}

struct Measure {
  SIZE extent{0, 0};
  TEXTMETRICW metrics{};
};

// The extent of `text` in the control's own font, wrapped at `wrap_width`
// when given (as a static control wraps).
Measure MeasureIn(HWND control, const std::wstring& text, int wrap_width = 0) {
  Measure measure;
  const HDC dc = ::GetDC(control);
  const HGDIOBJ previous =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  ::GetTextMetricsW(dc, &measure.metrics);
  if (wrap_width > 0) {
    RECT rect{0, 0, wrap_width, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    measure.extent = SIZE{rect.right, rect.bottom};
  } else {
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &measure.extent);
  }
  ::SelectObject(dc, previous);
  ::ReleaseDC(control, dc);
  return measure;
}

// What `control` must hold whole: its text with the furniture it draws
// beside it. Fails with the control named.
void ExpectNotClipped(HWND control, UINT dpi) {
  const std::wstring kind = ClassOf(control);
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(control, GWL_STYLE));
  RECT client;
  ::GetClientRect(control, &client);
  const std::wstring text = TextOf(control);
  const std::string name(text.begin(), text.end());
  SCOPED_TRACE(std::string(kind.begin(), kind.end()) + " \"" + name + "\"");
  int needed_width = 0;
  int needed_height = 0;
  Measure measure;
  if (kind == L"Static") {
    const DWORD type = style & SS_TYPEMASK;
    if (type != SS_LEFT || text.empty()) return;  // pictures and lines
    measure = MeasureIn(control, text, client.right);
    needed_width = measure.extent.cx;
    needed_height = measure.extent.cy;
  } else if (kind == L"Button") {
    measure = MeasureIn(control, text);
    const DWORD type = style & BS_TYPEMASK;
    const int box = type == BS_AUTOCHECKBOX ? ::GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi) + 2 : 0;
    needed_width =
        measure.extent.cx + box + (box == 0 ? 2 * ::GetSystemMetricsForDpi(SM_CXEDGE, dpi) : 0);
    needed_height = measure.metrics.tmHeight;
  } else if (kind == L"Edit") {
    // A number field's widest value: every position it takes a digit.
    const auto limit = static_cast<std::size_t>(::SendMessageW(control, EM_GETLIMITTEXT, 0, 0));
    measure = MeasureIn(control, limit < 64 ? std::wstring(limit, L'0') : text);
    const auto margins = static_cast<DWORD>(::SendMessageW(control, EM_GETMARGINS, 0, 0));
    needed_width = measure.extent.cx + LOWORD(margins) + HIWORD(margins);
    needed_height = measure.metrics.tmHeight;
  } else if (kind == L"ComboBox") {
    const int count = static_cast<int>(::SendMessageW(control, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      std::wstring item(
          static_cast<std::size_t>(::SendMessageW(control, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
      ::SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
      item.resize(item.size() - 1);
      measure = MeasureIn(control, item);
      needed_width = std::max<int>(needed_width,
                                   measure.extent.cx + ::GetSystemMetricsForDpi(SM_CXVSCROLL, dpi));
    }
    needed_height = measure.metrics.tmHeight;
  } else if (kind == WC_LISTVIEWW) {
    // Every cell's text in its column, with the cell's padding.
    const int rows = ListView_GetItemCount(control);
    for (int column = 0; column < 4; ++column) {
      for (int row = 0; row < rows; ++row) {
        wchar_t cell[64] = {};
        ListView_GetItemText(control, row, column, cell, 64);
        const int width = ListView_GetStringWidth(control, cell);
        EXPECT_LE(width + 6, ListView_GetColumnWidth(control, column))
            << "column " << column << " row " << row;
      }
    }
    return;
  } else {
    return;
  }
  EXPECT_LE(needed_width, client.right) << "too narrow";
  EXPECT_LE(needed_height, client.bottom) << "too low";
  // A scalable font, as high as this DPI makes it (the smallest, the
  // message font, is about 12 pixels at 96 DPI).
  EXPECT_NE(measure.metrics.tmPitchAndFamily & (TMPF_TRUETYPE | TMPF_VECTOR), 0) << "a raster font";
  EXPECT_GE(measure.metrics.tmHeight, ::MulDiv(12, static_cast<int>(dpi), 96))
      << "a font of another DPI";
}

std::vector<HWND> Children(HWND window) {
  std::vector<HWND> children;
  for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

RECT RectIn(HWND child) {
  RECT rect;
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void ExpectLaidOut(ui::win32::Window& window, UINT dpi) {
  EXPECT_EQ(window.dpi(), dpi);
  RECT client;
  ::GetClientRect(window.handle(), &client);
  const std::vector<HWND> children = Children(window.handle());
  for (std::size_t i = 0; i < children.size(); ++i) {
    ExpectNotClipped(children[i], dpi);
    if (!::IsWindowVisible(children[i])) continue;
    const RECT rect = RectIn(children[i]);
    if (ClassOf(children[i]) != L"ComboBox") {  // its list hangs below when open
      EXPECT_LE(rect.right, client.right + 2) << "control " << i << " runs out of the window";
      EXPECT_LE(rect.bottom, client.bottom) << "control " << i << " runs out of the window";
    }
    for (std::size_t j = i + 1; j < children.size(); ++j) {
      if (!::IsWindowVisible(children[j])) continue;
      const RECT other = RectIn(children[j]);
      RECT common;
      EXPECT_FALSE(::IntersectRect(&common, &rect, &other))
          << "controls " << i << " (" << TextOf(children[i]).size() << " chars) and " << j
          << " overlap";
    }
  }
}

// Tells `window` it moved to a monitor of `dpi`, with a rectangle scaled
// from its own as Windows suggests one; returns that rectangle.
RECT MoveToDpi(ui::win32::Window& window, UINT dpi) {
  RECT rect;
  ::GetWindowRect(window.handle(), &rect);
  const auto scaled = [&](LONG size) {
    return static_cast<LONG>(::MulDiv(size, static_cast<int>(dpi), static_cast<int>(window.dpi())));
  };
  const RECT suggested{rect.left + 10, rect.top + 10,
                       rect.left + 10 + scaled(rect.right - rect.left),
                       rect.top + 10 + scaled(rect.bottom - rect.top)};
  ::SendMessageW(window.handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
  return suggested;
}

class WindowLayoutTest : public ::testing::Test {
 protected:
  // The DPI the script set (wine's LogPixels); the system's when unset.
  static UINT ExpectedDpi() {
    const char* set = std::getenv("ORVIK_TEST_DPI");
    return set != nullptr ? static_cast<UINT>(std::atoi(set)) : ::GetDpiForSystem();
  }

  void Check(ui::win32::Window& window) {
    window.ShowInFront();
    {
      SCOPED_TRACE("at the process's DPI");
      ExpectLaidOut(window, ExpectedDpi());
    }
    const UINT other = ExpectedDpi() == 96 ? 192 : 96;
    SCOPED_TRACE("moved to a monitor of " + std::to_string(other) + " DPI");
    const RECT suggested = MoveToDpi(window, other);
    RECT now;
    ::GetWindowRect(window.handle(), &now);
    EXPECT_EQ(now.left, suggested.left);
    EXPECT_EQ(now.top, suggested.top);
    ExpectLaidOut(window, other);
    window.Hide();
  }
};

TEST_F(WindowLayoutTest, ProcessIsPerMonitorDpiAware) {
  EXPECT_EQ(::GetDpiForSystem(), ExpectedDpi()) << "the manifest makes the process DPI aware";
}

TEST_F(WindowLayoutTest, StatusWindowWithItsBottomLine) {
  ui::StatusWindowHooks hooks;
  hooks.notification_area = false;
  ui::win32::StatusWindow status(hooks);
  status.SetNote("The Orvik GPS Time service keeps this PC's clock.");
  Check(status);
}

TEST_F(WindowLayoutTest, SetupDialog) {
  const core::Settings settings;
  ui::SetupFormHooks hooks;
  hooks.settings = [&]() -> const core::Settings& { return settings; };
  // The port button beside the port number field is laid out with the rest.
  FakeComPortList ports;
  ui::win32::SetupDialog setup(ports, hooks);
  Check(setup);
}

TEST_F(WindowLayoutTest, AboutWindow) {
  ui::win32::AboutWindow about;
  Check(about);
}

TEST_F(WindowLayoutTest, ConnectionsWindowWithItsWidestCells) {
  ui::win32::ConnectionsWindow connections;
  const HWND list = ::GetWindow(connections.handle(), GW_CHILD);
  for (int column = 0; column < 3; ++column) {
    const wchar_t* widest[] = {L" 32.", L"255.255.255.255", L"65535"};
    ListView_SetItemText(list, 0, column, const_cast<wchar_t*>(widest[column]));
  }
  Check(connections);
}

TEST_F(WindowLayoutTest, ErrorBoxWithALongMessage) {
  ui::win32::ErrorBox box;
  box.Report(
      "The receiver's port COM3 could not be opened: access is denied (it is in use by another "
      "program). The port is tried again every few seconds; the time is served meanwhile.");
  Check(box);
}

}  // namespace
}  // namespace orvik::testing
