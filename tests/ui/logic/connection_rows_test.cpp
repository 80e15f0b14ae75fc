// The rows of the Connections window, without a window.
#include "ui/logic/connection_rows.h"

#include <gtest/gtest.h>

namespace orvik::testing {
namespace {

using Rows = std::vector<ui::ConnectionRow>;

TEST(ConnectionRowsTest, ListsClientsByPositionThroughConnectsDisconnectsAndReuse) {
  service::ClientTable table;
  EXPECT_EQ(ui::RowsFor(table, 6).row_count, 6) << "the initial rows stay while none is connected";
  EXPECT_EQ(ui::RowsFor(table, 6).rows, Rows(1)) << "the top row cleared";

  table.ClientConnect(11, "192.168.1.10", "alpha", 50001);
  table.ClientConnect(12, "192.168.1.11", "", 50002);  // reverse lookup failed
  table.ClientConnect(13, "10.0.0.3", "gamma", 0);     // no port known
  ui::ConnectionRows grid = ui::RowsFor(table, 6);
  EXPECT_EQ(grid.row_count, 3);
  EXPECT_EQ(grid.rows, (Rows{{" 1.", "192.168.1.10", "50001", "alpha"},
                             {" 2.", "192.168.1.11", "50002", ""},
                             {" 3.", "10.0.0.3", "", "gamma"}}));

  table.ClientDisconnect(11);  // the others move up, numbered by position
  EXPECT_EQ(ui::RowsFor(table, 3).rows,
            (Rows{{" 1.", "192.168.1.11", "50002", ""}, {" 2.", "10.0.0.3", "", "gamma"}}));
  table.ClientConnect(14, "10.0.0.4", "delta", 50004);  // takes the freed first row of the table
  EXPECT_EQ(ui::RowsFor(table, 2).rows.front(),
            (ui::ConnectionRow{" 1.", "10.0.0.4", "50004", "delta"}));

  for (const std::uint32_t handle : {12u, 13u, 14u}) table.ClientDisconnect(handle);
  grid = ui::RowsFor(table, 3);
  EXPECT_EQ(grid.row_count, 3) << "rows stay when the last client goes";
  EXPECT_EQ(grid.rows, Rows(1));
}

}  // namespace
}  // namespace orvik::testing
