// The Connections window: its grid and how it follows the client table.
#include "ui/qt/connections_window.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QHostAddress>
#include <QTableWidget>
#include <QTcpSocket>
#include <string>
#include <vector>

#include "service/client_table.h"
#include "service/qt/qt_main_loop.h"
#include "service/time_server.h"
#include "ui/desktop_test_harness.h"

namespace orvik::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;

class ConnectionsWindowTest : public ::testing::Test {
 protected:
  ConnectionsWindowTest() : server_(loop_, LocalServer()), window_(server_) {}

  static service::TimeServerOptions LocalServer() {
    service::TimeServerOptions options;
    options.port = 0;
    options.look_up_host_names = false;
    return options;
  }

  QTableWidget& grid() { return Child<QTableWidget>(window_, "StringGrid1"); }

  // Every cell of the grid as text, row by row.
  Rows Cells() {
    Rows rows;
    for (int row = 0; row < grid().rowCount(); ++row) {
      std::vector<std::string> cells;
      for (int column = 0; column < grid().columnCount(); ++column) {
        const QTableWidgetItem* item = grid().item(row, column);
        cells.push_back(item == nullptr ? std::string() : item->text().toStdString());
      }
      rows.push_back(cells);
    }
    return rows;
  }

  void Connect(std::uint32_t handle, const char* address, const char* host, int port) {
    table_.ClientConnect(handle, address, host, port);
    window_.ClientTableChanged(table_);
  }

  service::QtMainLoop loop_;
  service::TimeServer server_;
  ui::ConnectionsWindow window_;
  service::ClientTable table_;
};

TEST_F(ConnectionsWindowTest, WindowAndGridLookAsSpecified) {
  EXPECT_EQ(window_.windowTitle(), "Connections");
  EXPECT_EQ(window_.pos(), QPoint(248, 221));
  EXPECT_EQ(window_.size(), QSize(352, 128));
  EXPECT_EQ(grid().geometry(), QRect(5, 8, 342, 113));
  ASSERT_EQ(grid().columnCount(), 4);
  // The position column at least 24 wide; what it needs more comes from
  // the host-name column.
  EXPECT_GE(grid().columnWidth(0), 24);
  EXPECT_EQ(grid().columnWidth(1), 95);
  EXPECT_EQ(grid().columnWidth(2), 55);
  EXPECT_EQ(grid().columnWidth(0) + grid().columnWidth(3), 24 + 144);
  EXPECT_EQ(grid().verticalHeader()->defaultSectionSize(), 16);
  EXPECT_FALSE(grid().horizontalHeader()->isVisible());
  EXPECT_EQ(grid().horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(Cells(), Rows(6, std::vector<std::string>(4)));

  window_.show();
  window_.resize(352, 228);  // anchored to the bottom: the grid grows with the window
  EXPECT_EQ(grid().geometry(), QRect(5, 8, 342, 213));
}

TEST_F(ConnectionsWindowTest, EveryPositionNumberFitsItsColumn) {
  for (std::uint32_t handle = 1; handle <= 32; ++handle) {
    Connect(handle, "127.0.0.1", "localhost", static_cast<int>(40000 + handle));
  }
  const Rows cells = Cells();
  ASSERT_EQ(cells.size(), 32u);
  EXPECT_EQ(cells[9], (std::vector<std::string>{" 10.", "127.0.0.1", "40010", "localhost"}));
  for (const int row : {8, 9, 31}) {
    // Narrower than its text, a cell shows an ellipsis instead.
    EXPECT_LE(grid().sizeHintForIndex(grid().model()->index(row, 0)).width(), grid().columnWidth(0))
        << cells[row][0];
  }
}

// The shaded position column takes the colours of a button of the palette in
// force, also when the palette changes while it is filled.
TEST_F(ConnectionsWindowTest, PositionColumnFollowsThePalette) {
  Connect(11, "192.168.1.10", "alpha", 50001);
  QPalette dark = window_.palette();
  dark.setColor(QPalette::Button, QColor(53, 53, 53));
  dark.setColor(QPalette::ButtonText, QColor(255, 255, 255));
  dark.setColor(QPalette::Base, QColor(42, 42, 42));
  dark.setColor(QPalette::Text, QColor(255, 255, 255));
  window_.setPalette(dark);
  Connect(12, "192.168.1.11", "beta", 50002);
  for (const int row : {0, 1}) {
    const QTableWidgetItem* cell = grid().item(row, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->background().color(), QColor(53, 53, 53)) << row;
    EXPECT_EQ(cell->foreground().color(), QColor(255, 255, 255)) << row;
  }
}

TEST_F(ConnectionsWindowTest, FollowsTheServerWhetherShownOrNot) {
  ASSERT_TRUE(server_.Activate().ok());
  QTcpSocket client;
  client.connectToHost(QHostAddress::LocalHost, server_.ListeningPort());
  ASSERT_TRUE(
      PumpEventsUntil([&] { return Cells().at(0).at(0) == " 1."; }, std::chrono::seconds(5)));
  EXPECT_FALSE(window_.isVisible());
  EXPECT_EQ(Cells().at(0).at(1), "127.0.0.1");
  EXPECT_EQ(Cells().at(0).at(2), std::to_string(client.localPort()));

  client.disconnectFromHost();
  ASSERT_TRUE(
      PumpEventsUntil([&] { return Cells().at(0).at(0).empty(); }, std::chrono::seconds(5)));
  EXPECT_EQ(Cells().size(), 1u);
}

}  // namespace
}  // namespace orvik::testing
