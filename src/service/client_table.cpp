#include "service/client_table.h"

#include <cassert>

namespace orvik::service {
namespace {

std::string Cut(std::string_view text) {
  return std::string(text.substr(0, ClientTable::kMaxTextLength));
}

}  // namespace

std::uint16_t ClientTable::Find_client_data_index(std::uint32_t handle) const {
  for (std::uint16_t index = 1; index <= client_rows_used_; ++index) {
    if (rows_[index - 1u].Handle == handle) return index;
  }
  return 0;
}

std::uint16_t ClientTable::ClientConnect(std::uint32_t handle, std::string_view address,
                                         std::string_view host_name, std::int32_t port) {
  assert(handle != 0);
  // A handle still recorded from a connection whose close was never seen keeps its row.
  std::uint16_t index = Find_client_data_index(handle);
  if (index == 0) index = Find_client_data_index(0);  // first free row of the live area
  if (index == 0) {
    if (client_rows_used_ >= MaxClients) return 0;  // accepted, served, not listed
    index = ++client_rows_used_;
  }
  FillRow(index, handle, address, host_name, port);
  RecountActiveClients();
  return index;
}

std::uint16_t ClientTable::ClientDisconnect(std::uint32_t handle) {
  if (handle == 0) return 0;
  const std::uint16_t index = Find_client_data_index(handle);
  if (index == 0) return 0;
  rows_[index - 1u] = ClientRecord{};
  RecountActiveClients();
  return index;
}

bool ClientTable::SetHostName(std::uint32_t handle, std::string_view host_name) {
  if (handle == 0) return false;
  const std::uint16_t index = Find_client_data_index(handle);
  if (index == 0) return false;
  rows_[index - 1u].HostName = Cut(host_name);
  return true;
}

void ClientTable::RecountActiveClients() {
  std::uint16_t count = 0;
  for (std::uint16_t index = 1; index <= client_rows_used_; ++index) {
    if (rows_[index - 1u].InUse) ++count;
  }
  active_client_count_ = count;
}

void ClientTable::FillRow(std::uint16_t index, std::uint32_t handle, std::string_view address,
                          std::string_view host_name, std::int32_t port) {
  ClientRecord& row = rows_[index - 1u];
  row.InUse = true;
  row.Handle = handle;
  row.Address = Cut(address);
  row.HostName = Cut(host_name);
  row.Port = port;
}

}  // namespace orvik::service
