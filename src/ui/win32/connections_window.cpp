#include "ui/win32/connections_window.h"

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <algorithm>
#include <array>

#include "ui/logic/connection_rows.h"

namespace orvik::ui::win32 {

namespace {

// The sizes at 96 DPI.
constexpr std::array<int, kConnectionColumns> kColumnWidths = {24, 95, 55, 144};
constexpr int kInitialRows = 6;
constexpr int kListLeft = 5;
constexpr int kListTop = 8;
constexpr int kListWidth = 342;
constexpr int kListBottomMargin = 7;  // kept when the window grows
constexpr int kClientWidth = 352;
constexpr int kClientHeight = 128;
// The widest texts of the first three columns: the client table has 32
// rows; an IPv4 address and a port.
constexpr const char* kWidestPosition = " 32.";
constexpr const char* kWidestAddress = "000.000.000.000";
constexpr const char* kWidestPort = "00000";
constexpr int kCellMargin = 12;  // the list view's padding around a cell's text

}  // namespace

ConnectionsWindow::ConnectionsWindow() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  ::InitCommonControlsEx(&controls);
  Create(L"TForm4", L"Connections", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, 248,
         221, kClientWidth, kClientHeight);
  list_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | LVS_REPORT | LVS_NOCOLUMNHEADER |
                                LVS_SINGLESEL | LVS_NOSORTHEADER,
                            0, 0, 1, 1, handle(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  for (int column = 0; column < kConnectionColumns; ++column) {
    LVCOLUMNW description{};
    description.mask = LVCF_WIDTH | LVCF_SUBITEM;
    description.iSubItem = column;
    description.cx = kColumnWidths[static_cast<std::size_t>(column)];
    ListView_InsertColumn(list_, column, &description);
  }
  SetRowCount(kInitialRows);
  LayOut();
}

void ConnectionsWindow::LayOut() {
  UniqueFont font = MakeFont(dpi(), 0, false);
  SetControlFont(list_, font.get());
  // The position column is as wide as " 32." needs; the host-name column,
  // which has room to spare, gives up what it gains. The address and port
  // columns take their widest texts.
  const int position_width = std::max(Scale(kColumnWidths[0]),
                                      TextWidth(font.get(), kWidestPosition) + Scale(kCellMargin));
  const int widths[kConnectionColumns] = {
      position_width,
      std::max(Scale(kColumnWidths[1]), TextWidth(font.get(), kWidestAddress) + Scale(kCellMargin)),
      std::max(Scale(kColumnWidths[2]), TextWidth(font.get(), kWidestPort) + Scale(kCellMargin)),
      std::max(Scale(kColumnWidths[3]) - (position_width - Scale(kColumnWidths[0])), Scale(60))};
  int list_width = 0;
  for (int column = 0; column < kConnectionColumns; ++column) {
    ListView_SetColumnWidth(list_, column, widths[column]);
    list_width += widths[column];
  }
  // The columns, the list's edges and its vertical scroll bar.
  list_width =
      std::max(Scale(kListWidth), list_width + ::GetSystemMetricsForDpi(SM_CXVSCROLL, dpi()) +
                                      2 * ::GetSystemMetricsForDpi(SM_CXEDGE, dpi()));
  list_width_ = list_width;
  SetClientSize(Scale(kListLeft) + list_width + Scale(kListLeft), Scale(kClientHeight));
  PlaceList();
  font_ = std::move(font);  // the list has the new font: the old one may go
}

void ConnectionsWindow::PlaceList() {
  RECT client;
  ::GetClientRect(handle(), &client);
  // Anchored to the left, top and bottom edges: the list grows in height only.
  ::SetWindowPos(list_, nullptr, Scale(kListLeft), Scale(kListTop), list_width_,
                 std::max(Scale(16), static_cast<int>(client.bottom) - Scale(kListTop) -
                                         Scale(kListBottomMargin)),
                 SWP_NOZORDER | SWP_NOACTIVATE);
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
      if (list_ != nullptr) PlaceList();
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
