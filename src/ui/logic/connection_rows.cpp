#include "ui/logic/connection_rows.h"

namespace orvik::ui {

ConnectionRows RowsFor(const service::ClientTable& table, int current_row_count) {
  ConnectionRows grid;
  const int active = table.ActiveClientCount();
  grid.row_count = active > 0 ? active : current_row_count;
  grid.rows.emplace_back();  // the top row cleared, also when no client is left
  int row = 0;
  for (std::uint16_t index = 1; index <= table.ClientRowsUsed(); ++index) {
    const service::ClientRecord& client = table.Row(index);
    if (!client.InUse) continue;
    if (row >= grid.row_count) break;  // the count and the rows disagree
    if (row > 0) grid.rows.emplace_back();
    grid.rows[row] = {" " + std::to_string(row + 1) + ".", client.Address,
                      client.Port == 0 ? std::string() : std::to_string(client.Port),
                      client.HostName};
    ++row;
  }
  return grid;
}

}  // namespace orvik::ui
