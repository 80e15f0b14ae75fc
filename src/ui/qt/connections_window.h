// ConnectionsWindow: the "Connections" window, a grid of the LAN clients of
// the time service: position in the list (" 1.", " 2.", ...), address, port
// and host name, one row per connected client. The time server tells it
// about every change of its client table, whether the window is shown or
// not, so it is current whenever it is opened. The position column is wide
// enough for every position and is shaded in the current palette's button
// colours. Main thread only.
#pragma once

#include <QTableWidget>
#include <QWidget>

#include "service/client_table.h"
#include "service/time_server.h"

namespace orvik::ui {

class ConnectionsWindow : public QWidget, public service::ClientViewObserver {
  Q_OBJECT

 public:
  // Builds the hidden window and registers it with `server` as the client
  // view; the registration ends with the window.
  explicit ConnectionsWindow(service::TimeServer& server, QWidget* parent = nullptr);
  ~ConnectionsWindow() override;

  // Refills the grid with the rows of RowsFor(table).
  void ClientTableChanged(const service::ClientTable& table) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void SetCell(int row, int column, const QString& text);
  void ShadeAsFixed(QTableWidgetItem& item) const;

  service::TimeServer& server_;
  QTableWidget grid_;  // StringGrid1
};

}  // namespace orvik::ui
