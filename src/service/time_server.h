// TimeServer: the LAN time service. It listens on a TCP port (1609 in the
// programs) on every local address, pushes each 39-byte time record to every
// connected client, and keeps the 32-row client table that the Connections
// window shows. Clients send nothing that matters: their bytes are read and
// discarded.
//
// Delivery rules:
//  - A client never receives part of a record. A record goes to a client
//    only when nothing of an earlier one is still waiting for it; what the
//    kernel does not take at once is kept and sent, when the connection is
//    writable, before anything else. A record that cannot go out at all is
//    dropped whole for that client.
//  - Every connected client receives every record it can take, however many
//    are connected; the table lists the first 32, the rest are served
//    unlisted. A client that stops reading loses records; the others are not
//    delayed. A send error closes that client only and frees its row.
//  - Connections beyond a cap (default 4096, and never more than the
//    descriptor limit leaves room for) are closed at once, and so are those
//    from an address that already holds a 64th of that cap (64 of 4096): a
//    host flooding the server cannot lock the others out.
//  - When the last place is taken the server is full; the fullness listener
//    is told then, and again when a place is free, so the operator hears of
//    it once each time the server fills up.
//  - The listener's backlog is the system's maximum, so that clients
//    connecting together (every client of a LAN after a restart) are all
//    accepted at once instead of waiting for the kernel's handshake retries.
//    When the system refuses an accept for want of descriptors, accepting
//    pauses for a second instead of spinning on the waiting connection.
//  - The reverse host-name lookup runs in the background; delivery never
//    waits for a name service.
//
// The listener and every connection are watched by the main loop; the
// server runs only there: main thread only.
// The acquisition thread reaches Retransmit_to_LAN through the main-thread
// hand-over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "core/status.h"
#include "core/time_message.h"
#include "platform/stream_sockets.h"
#include "service/client_table.h"
#include "service/host_connection_quota.h"
#include "service/host_name_lookup.h"
#include "service/main_loop.h"
#include "service/record_outbox.h"
#include "service/time_message_sender.h"

namespace orvik::service {

// Told about every change of the client table (the Connections window).
class ClientViewObserver {
 public:
  virtual ~ClientViewObserver() = default;
  // Main thread: the table changed; `table` is valid only during the call.
  virtual void ClientTableChanged(const ClientTable& table) = 0;
};

struct TimeServerOptions {
  std::uint16_t port = 1609;          // 0: the system chooses (tests)
  std::size_t connection_cap = 4096;  // lowered to fit the descriptor limit
  bool look_up_host_names = true;     // reverse lookup of each listed client
};

// What the operator is told while the server is full and holds `connections`:
// "TCP service full: <connections> connections; new clients refused".
std::string ServiceFullNotice(std::size_t connections);

// What the server did, for tests and benchmarks.
struct TimeServerCounters {
  std::uint64_t records_handed = 0;   // records sent, or begun and kept for completion
  std::uint64_t records_dropped = 0;  // records lost for one client (earlier one waiting, or full)
  std::uint64_t records_held_back = 0;             // records the kernel took only in part at first
  std::uint64_t connections_refused = 0;           // closed at once: over the cap or the host's cap
  std::uint64_t connections_refused_for_host = 0;  // of those, over the host's cap
  std::uint64_t connections_closed_on_error = 0;
};

class TimeServer : public TimeMessageSender {
 public:
  // A server on `loop` (which must outlive it) with `options`. Not listening
  // yet. Host names come from `lookup`; with none (and look_up_host_names),
  // from a WorkerHostNameLookup on `loop`.
  TimeServer(MainLoop& loop, const TimeServerOptions& options,
             std::unique_ptr<HostNameLookup> lookup = nullptr);
  // Closes the listener and every connection; no lookup answers afterwards.
  ~TimeServer() override;

  TimeServer(const TimeServer&) = delete;
  TimeServer& operator=(const TimeServer&) = delete;

  // Starts listening (backlog: the system's maximum). Already listening:
  // nothing changes, every client stays. Failure: kSocketError with "Windows
  // socket error: %s (%d), on API '%s'" naming the failing call ("socket",
  // "bind" or "listen").
  core::Status Activate();

  // Whether the listener is active.
  bool IsActive() const { return listener_.valid(); }
  // The port listened on (the chosen one when constructed with 0); 0 when not listening.
  std::uint16_t ListeningPort() const { return listening_port_; }
  // Connections currently open, listed or not.
  std::size_t ConnectionCount() const { return connections_.size(); }
  // Most connections kept open at once.
  std::size_t ConnectionCap() const { return connection_cap_; }
  const ClientTable& Clients() const { return table_; }
  const TimeServerCounters& Counters() const { return counters_; }

  // Sets the observer told about table changes (nullptr: none). Not owned; it
  // must outlive this server or be removed first.
  void SetClientViewObserver(ClientViewObserver* observer) { observer_ = observer; }

  // Told, in the main thread, when the server becomes full (true) and when
  // it has room again (false); the two alternate, beginning with true.
  using FullnessListener = std::function<void(bool full)>;
  // Sets the listener (empty: none). What it captures must outlive this
  // server or the listener must be removed first.
  void SetFullnessListener(FullnessListener listener) { fullness_listener_ = std::move(listener); }

  // Sends `message` to every connected client under the delivery rules above.
  // Never blocks; nothing happens while the listener is inactive.
  void Retransmit_to_LAN(const core::TimeMessage& message) override;

  // Applies the answer of a reverse lookup for connection `connection_id`: the
  // row's HostName becomes `host_name` cut to 16 characters, but only if the
  // row still belongs to that same connection. Called when a lookup finishes.
  void ApplyHostLookup(std::uint32_t connection_id, std::string_view host_name);

 private:
  struct Connection {
    platform::StreamSocket socket;
    std::unique_ptr<SocketWatch> watch;  // after the socket: stops before it closes
    std::string address;                 // the peer's address as the table shows it
    std::uint16_t port = 0;
    std::uint64_t lookup_id = 0;  // the pending host-name lookup, or 0
    RecordOutbox outbox;          // the rest of a record the socket took in part
  };

  void WatchListener();
  // Accepts what waits on the listener (a bounded number per notification).
  void OnListenerReadable();
  void OnReadable(std::uint32_t id);
  void OnWritable(std::uint32_t id);
  // Whether a newly accepted connection from `address` may stay open; counts it if so.
  bool Admit(const std::string& address);
  void ServerSocket1ClientConnect(std::uint32_t id);
  void ServerSocket1ClientDisconnect(std::uint32_t id);
  void ServerSocket1ClientError(std::uint32_t id);
  // Told to the observer after every change of the table.
  void RefreshClientView();
  // Tells the fullness listener when the count of connections reached the
  // cap or left it since the last call.
  void FollowFullness();
  // Forgets connection `id`, cancels its lookup and closes its socket.
  void ReleaseConnection(std::uint32_t id);
  std::uint32_t NextConnectionId();

  MainLoop& loop_;
  const TimeServerOptions options_;
  const std::size_t connection_cap_;
  std::unique_ptr<HostNameLookup> lookup_;  // null: no host names
  platform::StreamSocket listener_;         // "ServerSocket1"
  std::uint16_t listening_port_ = 0;
  std::unique_ptr<SocketWatch> listener_watch_;      // null while accepting is paused
  std::unique_ptr<LoopTimer> resume_accepting_;      // after the system refused an accept
  std::map<std::uint32_t, Connection> connections_;  // by id: accept order
  HostConnectionQuota per_host_;                     // open connections by address
  ClientTable table_;
  ClientViewObserver* observer_ = nullptr;
  FullnessListener fullness_listener_;
  bool full_ = false;  // as last told to the fullness listener
  std::uint32_t last_connection_id_ = 0;
  TimeServerCounters counters_;
};

}  // namespace orvik::service
