#include "service/time_server.h"

#include <sys/socket.h>

#include <QHostAddress>
#include <QHostInfo>
#include <QString>
#include <QTcpSocket>
#include <array>
#include <cerrno>
#include <string>
#include <utility>

#include "service/listening_socket.h"

namespace orvik::service {
namespace {

// The kernel keeps at most this many connections waiting for accept() (it
// lowers the figure to net.core.somaxconn). Clients beyond it, all arriving
// while the loop is busy, would wait for the handshake retries (1, 3, 7 s ...)
// before the server could accept them.
constexpr int kListenBacklog = SOMAXCONN;
// What a client sends is read in pieces of at most this size and thrown away.
constexpr qint64 kDiscardChunk = 4096;
// Bound on the pieces read per notification; the event loop brings the rest.
constexpr int kMaxDiscardReads = 64;
// After the system refused an accept (descriptors exhausted), try again after this.
constexpr int kResumeAcceptingMs = 1000;

// The peer's address as the table shows it: IPv4 clients in dotted form even
// when they arrive on the dual-stack listener as mapped IPv6 addresses.
QString AddressText(const QHostAddress& address) {
  bool is_ipv4 = false;
  const quint32 ipv4 = address.toIPv4Address(&is_ipv4);
  return is_ipv4 ? QHostAddress(ipv4).toString() : address.toString();
}

}  // namespace

TimeServer::TimeServer(const TimeServerOptions& options, QObject* parent)
    : QObject(parent),
      options_(options),
      connection_cap_(ConnectionCapWithinDescriptorLimit(options.connection_cap)),
      per_host_(options.connections_per_host_cap) {
  server_.setObjectName(QStringLiteral("ServerSocket1"));
  server_.setMaxPendingConnections(kListenBacklog);
  resume_accepting_.setSingleShot(true);
  resume_accepting_.setInterval(kResumeAcceptingMs);
  connect(&server_, &QTcpServer::newConnection, this, &TimeServer::onNewConnection);
  connect(&server_, &QTcpServer::acceptError, this, &TimeServer::onAcceptError);
  connect(&resume_accepting_, &QTimer::timeout, this, [this] { server_.resumeAccepting(); });
}

TimeServer::~TimeServer() {
  // A socket emits disconnected() from its destructor: cut every socket off
  // from this object before any of them is destroyed.
  for (auto& [id, connection] : connections_) {
    connection.socket->disconnect(this);
    if (connection.lookup_id >= 0) QHostInfo::abortHostLookup(connection.lookup_id);
    connection.socket->abort();
  }
  connections_.clear();
  server_.disconnect(this);
  server_.close();
  // The sockets themselves go with server_, their Qt parent.
}

core::Status TimeServer::Activate() {
  if (server_.isListening()) return core::Status::Ok();  // a restart keeps every client
  core::Result<platform::UniqueFd> socket = OpenListeningSocket(options_.port, kListenBacklog);
  if (!socket.ok()) return socket.status();
  platform::UniqueFd fd = std::move(socket).value();
  if (!server_.setSocketDescriptor(fd.get())) {
    return core::Status::Error(
        core::StatusCode::kSocketError,
        SocketErrorText(server_.errorString().toStdString(), server_.serverError(), "listen"));
  }
  fd.release();  // the listener owns it now
  return core::Status::Ok();
}

bool TimeServer::IsActive() const { return server_.isListening(); }

std::uint16_t TimeServer::ListeningPort() const {
  return server_.isListening() ? server_.serverPort() : 0;
}

void TimeServer::Retransmit_to_LAN(const core::TimeMessage& message) {
  if (!server_.isListening()) return;
  const char* bytes = reinterpret_cast<const char*>(message.data());
  constexpr auto kSize = static_cast<ssize_t>(core::kTimeMessageSize);
  // A send error may close a connection while we walk the map, so the walk
  // goes on from the next id rather than from an iterator.
  auto it = connections_.begin();
  while (it != connections_.end()) {
    const std::uint32_t id = it->first;
    QTcpSocket& socket = *it->second.socket;
    it = connections_.upper_bound(id);
    if (socket.state() != QAbstractSocket::ConnectedState) continue;
    if (socket.bytesToWrite() > 0) {
      // The rest of an earlier record is still waiting: it goes first, and
      // this record is lost for this client only.
      ++counters_.records_dropped;
      continue;
    }
    // The first attempt goes straight to the kernel: the socket object's own
    // buffer would arm and disarm a write notifier per client and record,
    // which costs time in proportion to the number of clients.
    const ssize_t sent = ::send(static_cast<int>(socket.socketDescriptor()), bytes, kSize,
                                MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent == kSize) {
      ++counters_.records_handed;
    } else if (sent > 0) {
      // Only part was taken: the socket keeps the rest and sends it when the
      // connection is writable, before anything else goes to this client.
      if (socket.write(bytes + sent, kSize - sent) == kSize - sent) {
        ++counters_.records_handed;
        ++counters_.records_held_back;
      } else {
        ++counters_.connections_closed_on_error;
        ServerSocket1ClientError(id);
      }
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      ++counters_.records_dropped;  // the kernel took nothing: lost for this client only
    } else {
      ++counters_.connections_closed_on_error;  // reset, broken pipe, ...
      ServerSocket1ClientError(id);
    }
  }
}

void TimeServer::ApplyHostLookup(std::uint32_t connection_id, std::string_view host_name) {
  auto it = connections_.find(connection_id);
  if (it != connections_.end()) it->second.lookup_id = -1;
  // The row may have gone to another connection meanwhile: the table only
  // takes the name while the row still carries this connection's id.
  if (table_.SetHostName(connection_id, host_name)) RefreshClientView();
}

void TimeServer::onNewConnection() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    std::string address = AddressText(socket->peerAddress()).toStdString();
    if (!Admit(address)) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    const std::uint32_t id = NextConnectionId();
    connections_.emplace(id, Connection{socket, std::move(address), -1});
    socket->setReadBufferSize(kDiscardChunk);
    // Each record is a whole message: send it at once, never wait to fill a segment.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, [socket] {
      std::array<char, kDiscardChunk> sink;
      for (int i = 0; i < kMaxDiscardReads && socket->read(sink.data(), kDiscardChunk) > 0; ++i) {
      }
    });
    connect(socket, &QTcpSocket::disconnected, this,
            [this, id] { ServerSocket1ClientDisconnect(id); });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, id](QAbstractSocket::SocketError error) {
              if (error != QAbstractSocket::RemoteHostClosedError) {
                ++counters_.connections_closed_on_error;
              }
              ServerSocket1ClientError(id);
            });
    ServerSocket1ClientConnect(id);
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

void TimeServer::onAcceptError() {
  // The listener pauses itself when an accept fails for want of resources.
  if (!resume_accepting_.isActive()) resume_accepting_.start();
}

void TimeServer::ServerSocket1ClientConnect(std::uint32_t id) {
  const Connection& connection = connections_.at(id);
  const QString address = QString::fromStdString(connection.address);
  const std::uint16_t row =
      table_.ClientConnect(id, connection.address, "", connection.socket->peerPort());
  if (row == 0) return;  // 32 rows busy: served, not listed
  RefreshClientView();
  if (!options_.look_up_host_names) return;
  // The answer comes to a named slot: in this Qt version a lookup aimed at a
  // lambda leaks the lambda when the server goes away before the answer.
  const int lookup = QHostInfo::lookupHost(address, this, SLOT(onHostLookedUp(QHostInfo)));
  connections_.at(id).lookup_id = lookup;
  lookups_.emplace(lookup, id);
}

void TimeServer::onHostLookedUp(const QHostInfo& info) {
  const auto it = lookups_.find(info.lookupId());
  if (it == lookups_.end()) return;
  const std::uint32_t id = it->second;
  lookups_.erase(it);
  // A failed reverse lookup yields the numeric address: no name then.
  const bool named = info.error() == QHostInfo::NoError && QHostAddress(info.hostName()).isNull();
  ApplyHostLookup(id, named ? info.hostName().toStdString() : std::string());
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

void TimeServer::ReleaseConnection(std::uint32_t id) {
  auto it = connections_.find(id);
  if (it == connections_.end()) return;
  QTcpSocket* socket = it->second.socket;
  if (it->second.lookup_id >= 0) {
    QHostInfo::abortHostLookup(it->second.lookup_id);
    lookups_.erase(it->second.lookup_id);
  }
  per_host_.Release(it->second.address);
  connections_.erase(it);
  socket->disconnect(this);
  socket->abort();
  // This may run inside one of the socket's own signals: delete it later.
  socket->deleteLater();
}

std::uint32_t TimeServer::NextConnectionId() {
  // Ids are never 0 and never shared by two open connections, even after wrapping.
  do {
    ++last_connection_id_;
  } while (last_connection_id_ == 0 || connections_.count(last_connection_id_) != 0);
  return last_connection_id_;
}

}  // namespace orvik::service
