#include "ui/win32/connections_window.h"

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <algorithm>
#include <array>

#include "ui/logic/connection_rows.h"

namespace orvik::ui::win32 {

namespace {

constexpr std::array<int, kConnectionColumns> kColumnWidths = {24, 95, 55, 144};
constexpr int kInitialRows = 6;
constexpr int kListLeft = 5;
constexpr int kListTop = 8;
constexpr int kListWidth = 342;
constexpr int kListBottomMargin = 7;  // kept when the window grows
constexpr int kClientWidth = 352;
constexpr int kClientHeight = 128;
// The widest position shown: the client table has 32 rows.
constexpr const char* kWidestPosition = " 32.";
constexpr int kCellMargin = 12;  // the list view's padding around a cell's text

}  // namespace

ConnectionsWindow::ConnectionsWindow() : font_(MakeFont(11, false)) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  ::InitCommonControlsEx(&controls);
  Create(L"TForm4", L"Connections", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, 248,
         221, kClientWidth, kClientHeight);
  list_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | LVS_REPORT | LVS_NOCOLUMNHEADER |
                                LVS_SINGLESEL | LVS_NOSORTHEADER,
                            kListLeft, kListTop, kListWidth, kClientHeight - kListTop - kListBottomMargin,
                            handle(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  // The position column is as wide as " 32." needs; the host-name column,
  // which has room to spare, gives up what it gains.
  const int position_width =
      std::max(kColumnWidths[0], TextWidth(font_.get(), kWidestPosition) + kCellMargin);
  for (int column = 0; column < kConnectionColumns; ++column) {
    LVCOLUMNW description{};
    description.mask = LVCF_WIDTH | LVCF_SUBITEM;
    description.iSubItem = column;
    description.cx = column == 0   ? position_width
                     : column == 3 ? kColumnWidths[3] - (position_width - kColumnWidths[0])
                                   : kColumnWidths[column];
    ListView_InsertColumn(list_, column, &description);
  }
  SetRowCount(kInitialRows);
}

int ConnectionsWindow::RowCount() const { return ListView_GetItemCount(list_); }

void ConnectionsWindow::SetRowCount(int rows) {
  while (RowCount() > rows) ListView_DeleteItem(list_, RowCount() - 1);
  while (RowCount() < rows) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = RowCount();
    item.pszText = const_cast<wchar_t*>(L"");
    ListView_InsertItem(list_, &item);
  }
}

void ConnectionsWindow::SetCell(int row, int column, const std::string& text) {
  std::wstring wide = Widen(text);
  ListView_SetItemText(list_, row, column, wide.data());
}

std::string ConnectionsWindow::CellText(int row, int column) const {
  wchar_t buffer[64] = {};
  ListView_GetItemText(list_, row, column, buffer, static_cast<int>(std::size(buffer)));
  std::string text;
  for (const wchar_t* c = buffer; *c != 0; ++c) text.push_back(static_cast<char>(*c & 0xff));
  return text;
}

void ConnectionsWindow::ClientTableChanged(const service::ClientTable& table) {
  const ConnectionRows grid = RowsFor(table, RowCount());
  SetRowCount(grid.row_count);
  for (int row = 0; row < static_cast<int>(grid.rows.size()); ++row) {
    for (int column = 0; column < kConnectionColumns; ++column) {
      SetCell(row, column, grid.rows[static_cast<std::size_t>(row)][column]);
    }
  }
}

// The position column in the colours of a button, as a grid's fixed column.
LRESULT ConnectionsWindow::CustomDraw(LPARAM lparam) const {
  auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lparam);
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      const bool fixed = draw->iSubItem == 0;
      if (fixed) {
        // The cell's background is painted here: not every list view fills
        // a cell with its text background colour.
        RECT cell;
        ListView_GetSubItemRect(list_, static_cast<int>(draw->nmcd.dwItemSpec), 0, LVIR_LABEL,
                                &cell);
        ::FillRect(draw->nmcd.hdc, &cell, ::GetSysColorBrush(COLOR_BTNFACE));
      }
      draw->clrTextBk = ::GetSysColor(fixed ? COLOR_BTNFACE : COLOR_WINDOW);
      draw->clrText = ::GetSysColor(fixed ? COLOR_BTNTEXT : COLOR_WINDOWTEXT);
      return CDRF_NEWFONT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

LRESULT ConnectionsWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->hwndFrom == list_ && header->code == NM_CUSTOMDRAW) return CustomDraw(lparam);
      break;
    }
    case WM_SIZE:
      // Anchored to the left, top and bottom edges: the list grows in height only.
      ::SetWindowPos(list_, nullptr, kListLeft, kListTop, kListWidth,
                     std::max(16, static_cast<int>(HIWORD(lparam)) - kListTop - kListBottomMargin),
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    case WM_CLOSE:
      Hide();
      return 0;
    default:
      break;
  }
  return Window::HandleMessage(message, wparam, lparam);
}

}  // namespace orvik::ui::win32
