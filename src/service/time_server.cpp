#include "service/time_server.h"

#include <chrono>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "service/worker_host_name_lookup.h"

namespace orvik::service {
namespace {

// What a client sends is read and thrown away, at most this much per
// notification; the loop brings the rest.
constexpr std::size_t kDiscardPerNotification = 64 * 4096;
// Connections accepted per notification of the listener at most; the loop
// comes back for the rest after the other work waiting meanwhile. The
// listener's backlog holds them until then.
constexpr int kAcceptsPerNotification = 1024;
// After the system refused an accept (descriptors exhausted), try again after this.
constexpr std::chrono::milliseconds kResumeAccepting{1000};

std::unique_ptr<HostNameLookup> LookupFor(MainLoop& loop, const TimeServerOptions& options,
                                          std::unique_ptr<HostNameLookup> given) {
  if (!options.look_up_host_names) return nullptr;
  if (given) return given;
  return std::make_unique<WorkerHostNameLookup>(loop);
}

}  // namespace

std::string ServiceFullNotice(std::size_t connections) {
  return "TCP service full: " + std::to_string(connections) + " connections; new clients refused";
}

TimeServer::TimeServer(MainLoop& loop, const TimeServerOptions& options,
                       std::unique_ptr<HostNameLookup> lookup)
    : loop_(loop),
      options_(options),
      connection_cap_(platform::ConnectionCapWithinDescriptorLimit(options.connection_cap)),
      lookup_(LookupFor(loop, options, std::move(lookup))),
      resume_accepting_(loop.MakeTimer([this] { WatchListener(); })),
      per_host_(ConnectionsPerHost(connection_cap_)) {}

TimeServer::~TimeServer() {
  // No answer of a lookup may reach this object any more, nor any
  // notification; then the connections and the listener close.
  lookup_.reset();
  connections_.clear();
  listener_watch_.reset();
  resume_accepting_.reset();
}

core::Status TimeServer::Activate() {
  if (listener_.valid()) return core::Status::Ok();  // a restart keeps every client
  core::Result<platform::StreamSocket> socket =
      platform::OpenListeningSocket(options_.port, platform::MaxListenBacklog());
  if (!socket.ok()) return socket.status();
  listener_ = std::move(socket).value();
  listening_port_ = platform::BoundPort(listener_.get());
  WatchListener();
  return core::Status::Ok();
}

void TimeServer::WatchListener() {
  listener_watch_ = loop_.WatchSocket(
      listener_.get(), [this] { OnListenerReadable(); }, [] {});
}

void TimeServer::Retransmit_to_LAN(const core::TimeMessage& message) {
  if (!listener_.valid()) return;
  // Broken connections are closed after the walk, which then needs no
  // lookup per connection.
  std::vector<std::uint32_t> broken;
  for (auto& [id, connection] : connections_) {
    const platform::SocketHandle socket = connection.socket.get();
    switch (connection.outbox.Offer(message, [socket](std::span<const std::uint8_t> bytes) {
      return platform::SendSome(socket, bytes);
    })) {
      case RecordOutbox::Offered::kHanded:
        ++counters_.records_handed;
        break;
      case RecordOutbox::Offered::kHeldBack:
        // The rest goes when the connection is writable, before anything else.
        ++counters_.records_handed;
        ++counters_.records_held_back;
        connection.watch->WatchWritable(true);
        break;
      case RecordOutbox::Offered::kDropped:
        ++counters_.records_dropped;  // lost for this client only
        break;
      case RecordOutbox::Offered::kFailed:
        ++counters_.connections_closed_on_error;  // reset, broken pipe, ...
        broken.push_back(id);
        break;
    }
  }
  for (const std::uint32_t id : broken) ServerSocket1ClientError(id);
}

void TimeServer::ApplyHostLookup(std::uint32_t connection_id, std::string_view host_name) {
  auto it = connections_.find(connection_id);
  if (it != connections_.end()) it->second.lookup_id = 0;
  // The row may have gone to another connection meanwhile: the table only
  // takes the name while the row still carries this connection's id.
  if (table_.SetHostName(connection_id, host_name)) RefreshClientView();
}

void TimeServer::OnListenerReadable() {
  for (int i = 0; i < kAcceptsPerNotification; ++i) {
    platform::AcceptResult accepted = platform::AcceptConnection(listener_.get());
    switch (accepted.status) {
      case platform::AcceptStatus::kNoneWaiting:
        return;
      case platform::AcceptStatus::kAborted:
        continue;  // that client gave up before it was taken
      case platform::AcceptStatus::kOutOfResources:
        // Descriptors ran out: the listener would report the same waiting
        // connection again at once. Pause accepting for a while.
        listener_watch_.reset();
        if (!resume_accepting_->IsActive()) resume_accepting_->StartOnce(kResumeAccepting);
        return;
      case platform::AcceptStatus::kAccepted:
        break;
    }
    if (!Admit(accepted.address)) continue;  // closed at once as it goes out of scope
    const std::uint32_t id = NextConnectionId();
    const platform::SocketHandle socket = accepted.connection.get();
    Connection& connection = connections_[id];
    connection.socket = std::move(accepted.connection);
    connection.address = std::move(accepted.address);
    connection.port = accepted.port;
    connection.watch = loop_.WatchSocket(
        socket, [this, id] { OnReadable(id); }, [this, id] { OnWritable(id); });
    ServerSocket1ClientConnect(id);
    FollowFullness();
  }
}

void TimeServer::OnReadable(std::uint32_t id) {
  const auto it = connections_.find(id);
  if (it == connections_.end()) return;
  switch (platform::DiscardReceived(it->second.socket.get(), kDiscardPerNotification)) {
    case platform::ReceiveStatus::kOpen:
      return;
    case platform::ReceiveStatus::kPeerClosed:
      ServerSocket1ClientDisconnect(id);
      return;
    case platform::ReceiveStatus::kFailed:
      ++counters_.connections_closed_on_error;
      ServerSocket1ClientError(id);
      return;
  }
}

void TimeServer::OnWritable(std::uint32_t id) {
  const auto it = connections_.find(id);
  if (it == connections_.end()) return;
  Connection& connection = it->second;
  const platform::SocketHandle socket = connection.socket.get();
  switch (connection.outbox.Flush([socket](std::span<const std::uint8_t> bytes) {
    return platform::SendSome(socket, bytes);
  })) {
    case RecordOutbox::Flushed::kEmpty:
      connection.watch->WatchWritable(false);
      return;
    case RecordOutbox::Flushed::kWaiting:
      return;
    case RecordOutbox::Flushed::kFailed:
      ++counters_.connections_closed_on_error;
      ServerSocket1ClientError(id);
      return;
  }
}

bool TimeServer::Admit(const std::string& address) {
  if (connections_.size() >= connection_cap_) {
    // Over the cap: closed at once, so descriptors cannot run out.
    ++counters_.connections_refused;
    return false;
  }
  if (!per_host_.TryAdmit(address)) {
    // That host holds its share already: the room left stays for the others.
    ++counters_.connections_refused;
    ++counters_.connections_refused_for_host;
    return false;
  }
  return true;
}

void TimeServer::ServerSocket1ClientConnect(std::uint32_t id) {
  Connection& connection = connections_.at(id);
  const std::uint16_t row = table_.ClientConnect(id, connection.address, "", connection.port);
  if (row == 0) return;  // 32 rows busy: served, not listed
  RefreshClientView();
  if (!lookup_) return;
  connection.lookup_id = lookup_->LookUp(
      connection.address, [this, id](const std::string& name) { ApplyHostLookup(id, name); });
}

void TimeServer::ServerSocket1ClientDisconnect(std::uint32_t id) {
  if (connections_.find(id) == connections_.end()) return;  // already closed
  ReleaseConnection(id);
  if (table_.ClientDisconnect(id) != 0) RefreshClientView();
}

void TimeServer::ServerSocket1ClientError(std::uint32_t id) {
  // Errors are not shown anywhere: the connection is closed, which frees its row.
  ServerSocket1ClientDisconnect(id);
}

void TimeServer::RefreshClientView() {
  table_.RecountActiveClients();
  if (observer_ != nullptr) observer_->ClientTableChanged(table_);
}

void TimeServer::FollowFullness() {
  const bool full = connections_.size() >= connection_cap_;
  if (full == full_) return;
  full_ = full;
  if (fullness_listener_) fullness_listener_(full);
}

void TimeServer::ReleaseConnection(std::uint32_t id) {
  auto it = connections_.find(id);
  if (it == connections_.end()) return;
  if (it->second.lookup_id != 0 && lookup_) lookup_->Cancel(it->second.lookup_id);
  per_host_.Release(it->second.address);
  // Its watch stops first, then the socket closes; this may run inside one
  // of the watch's own notifications, which the main loop allows.
  connections_.erase(it);
  FollowFullness();
}

std::uint32_t TimeServer::NextConnectionId() {
  // Ids are never 0 and never shared by two open connections, even after wrapping.
  do {
    ++last_connection_id_;
  } while (last_connection_id_ == 0 || connections_.count(last_connection_id_) != 0);
  return last_connection_id_;
}

}  // namespace orvik::service
