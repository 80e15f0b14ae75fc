// The rows of the Connections window, apart from how they are drawn: one row
// per connected client of the time server's table, numbered by position
// (" 1.", " 2.", ...), with its address, port (blank when unknown) and host
// name. Main thread only.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "service/client_table.h"

namespace orvik::ui {

inline constexpr int kConnectionColumns = 4;
using ConnectionRow = std::array<std::string, kConnectionColumns>;

struct ConnectionRows {
  // Rows the grid has: one per client, or as many as it had when none is.
  int row_count = 0;
  // The rows to write from the top: the top row cleared, then one per
  // client in table order (rows below them keep what they show).
  std::vector<ConnectionRow> rows;
};

// The grid after a change of `table`, for a grid of `current_row_count` rows.
ConnectionRows RowsFor(const service::ClientTable& table, int current_row_count);

}  // namespace orvik::ui
