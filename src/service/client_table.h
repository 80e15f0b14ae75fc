// ClientTable: the 32-row table of connected LAN clients that the Connections
// window shows. Rows are numbered 1..32 and never move: a client keeps its row
// for the life of its connection, and a freed row goes to the next new client.
// Rows 1..ClientRowsUsed form the live area, which only grows; lookups and
// counts cover only that area. Clients beyond the 32 rows are not recorded
// (the time server still serves them).
//
// Plain data, no I/O. Not thread-safe: the time server uses it from the main
// thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvik::service {

struct ClientRecord {
  bool InUse = false;
  std::uint32_t Handle = 0;  // the connection's id; 0 marks a free row
  std::string Address;       // peer address, dotted form, at most 16 characters
  std::string HostName;      // reverse lookup result, at most 16 characters; empty if none
  std::int32_t Port = 0;     // peer TCP port

  friend bool operator==(const ClientRecord&, const ClientRecord&) = default;
};

class ClientTable {
 public:
  static constexpr std::uint16_t MaxClients = 32;
  // Longest text kept in a row; longer texts are cut to their first characters.
  static constexpr std::size_t kMaxTextLength = 16;

  // Returns the first row among 1..ClientRowsUsed whose Handle is `handle`, or 0.
  // With handle 0 that is the first free row of the live area.
  std::uint16_t Find_client_data_index(std::uint32_t handle) const;

  // Records a newly accepted connection: its old row if the handle is still
  // recorded, else the first free row of the live area, else a new row while
  // fewer than 32 are used. Returns the row taken, or 0 when all 32 are busy.
  std::uint16_t ClientConnect(std::uint32_t handle, std::string_view address,
                              std::string_view host_name, std::int32_t port);

  // Frees the row of a closing connection. Returns the row freed, or 0 when the
  // connection was not recorded.
  std::uint16_t ClientDisconnect(std::uint32_t handle);

  // Sets the host name of the row that belongs to `handle`, cut to 16
  // characters. Returns false (and changes nothing) when no row belongs to it.
  bool SetHostName(std::uint32_t handle, std::string_view host_name);

  // Recounts ActiveClientCount over the live area. The mutators above call it.
  void RecountActiveClients();

  // Row `index`, 1..MaxClients. REQUIRES: 1 <= index <= MaxClients.
  const ClientRecord& Row(std::uint16_t index) const { return rows_[index - 1u]; }

  std::uint16_t ClientRowsUsed() const { return client_rows_used_; }
  std::uint16_t ActiveClientCount() const { return active_client_count_; }

 private:
  void FillRow(std::uint16_t index, std::uint32_t handle, std::string_view address,
               std::string_view host_name, std::int32_t port);

  std::array<ClientRecord, MaxClients> rows_{};
  std::uint16_t client_rows_used_ = 0;
  std::uint16_t active_client_count_ = 0;
};

}  // namespace orvik::service
