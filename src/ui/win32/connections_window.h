// ConnectionsWindow: the "Connections" window, a list view of the LAN
// clients of the time service: position in the list (" 1.", " 2.", ...),
// address, port and host name, one row per connected client, no header. The
// time server tells it every change of its client table, shown or not, so
// it is current whenever it is opened. The position column is shaded in the
// button colours, as a grid's fixed column. Main thread only.
#pragma once

#include "service/client_table.h"
#include "ui/win32/window.h"

namespace orvik::ui::win32 {

class ConnectionsWindow : public Window {
 public:
  ConnectionsWindow();

  // Refills the list with the rows of RowsFor(table).
  void ClientTableChanged(const service::ClientTable& table);

  // What row `row`, column `column` shows (for tests and tools).
  std::string CellText(int row, int column) const;
  int RowCount() const;

 protected:
  void LayOut() override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void SetRowCount(int rows);
  void SetCell(int row, int column, const std::string& text);
  LRESULT CustomDraw(LPARAM lparam) const;
  void PlaceList();

  UniqueFont font_;
  HWND list_ = nullptr;  // StringGrid1
  int list_width_ = 0;   // at dpi()
};

}  // namespace orvik::ui::win32
