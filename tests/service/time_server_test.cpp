// Integration tests of the LAN time server over real TCP on loopback (clients
// from 127.0.0.x stand for other hosts). The server listens on a port the
// system chooses; every wait is bounded.
#include "service/time_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "service/qt/qt_main_loop.h"
#include "support/lan_test_client.h"
#include "support/qt_event_wait.h"
#include "support/wait_until.h"

namespace orvik::service {
namespace {

using testing::LanTestClient;
using testing::NumberedRecord;
using testing::SequenceOf;

class CountingObserver : public ClientViewObserver {
 public:
  void ClientTableChanged(const ClientTable& table) override {
    ++calls;
    last_active = table.ActiveClientCount();
  }
  int calls = 0;
  int last_active = -1;
};

// A lookup that answers only when the test calls an answer; notes requests
// and cancellations.
class HeldLookup : public HostNameLookup {
 public:
  std::uint64_t LookUp(const std::string& address, Answer answer) override {
    addresses[++last_id] = address;
    answers[last_id] = std::move(answer);
    return last_id;
  }
  void Cancel(std::uint64_t id) override {
    cancelled.push_back(id);
    answers.erase(id);
  }
  std::map<std::uint64_t, std::string> addresses;
  std::map<std::uint64_t, Answer> answers;
  std::vector<std::uint64_t> cancelled;
  std::uint64_t last_id = 0;
};

// The records `first`..`last` back to back, as a client should receive them.
std::vector<std::uint8_t> Records(std::uint32_t first, std::uint32_t last) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t n = first; n <= last; ++n) {
    const core::TimeMessage record = NumberedRecord(n);
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  return bytes;
}

class TimeServerTest : public ::testing::Test {
 protected:
  void StartServer(TimeServerOptions options = {.port = 0, .look_up_host_names = false},
                   std::unique_ptr<HostNameLookup> lookup = nullptr) {
    server_ = std::make_unique<TimeServer>(loop_, options, std::move(lookup));
    server_->SetClientViewObserver(&observer_);
    const core::Status status = server_->Activate();
    ASSERT_TRUE(status.ok()) << status.ToString();
    ASSERT_NE(server_->ListeningPort(), 0);
  }

  // Starts one more client's connection (from 127.0.0.`host` unless 0).
  LanTestClient& StartClient(int receive_buffer = 0, std::uint8_t host = 0) {
    clients_.push_back(
        std::make_unique<LanTestClient>(server_->ListeningPort(), receive_buffer, host));
    return *clients_.back();
  }

  // Connects one more client and waits until the server accepted (or refused) it.
  LanTestClient& AddClient(int receive_buffer = 0, std::uint8_t host = 0) {
    const std::size_t seen = server_->ConnectionCount() + server_->Counters().connections_refused;
    LanTestClient& client = StartClient(receive_buffer, host);
    EXPECT_TRUE(Pump([&] {
      return server_->ConnectionCount() + server_->Counters().connections_refused > seen;
    }));
    return client;
  }

  // Runs the event loop and reads every client until `done` holds.
  bool Pump(const std::function<bool()>& done,
            std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    return testing::PumpEventsUntil(
        [&] {
          for (const auto& client : clients_) client->Drain();
          return done();
        },
        limit);
  }

  // Sends records `first`..`last`, letting the event loop run after each.
  void SendRecords(std::uint32_t first, std::uint32_t last) {
    for (std::uint32_t n = first; n <= last; ++n) {
      server_->Retransmit_to_LAN(NumberedRecord(n));
      QCoreApplication::processEvents();
    }
  }

  bool AllReceived(std::size_t bytes) {
    return Pump([&] {
      for (const auto& client : clients_) {
        if (client->received().size() < bytes) return false;
      }
      return true;
    });
  }

  QtMainLoop loop_;
  CountingObserver observer_;
  std::unique_ptr<TimeServer> server_;
  std::vector<std::unique_ptr<LanTestClient>> clients_;
};

TEST_F(TimeServerTest, NothingIsSentWithoutClientsOrWithoutListener) {
  TimeServer idle(loop_, TimeServerOptions{.port = 0});
  idle.Retransmit_to_LAN(NumberedRecord(1));  // never activated
  EXPECT_FALSE(idle.IsActive());
  EXPECT_EQ(idle.Counters().records_handed, 0u);

  StartServer();
  server_->Retransmit_to_LAN(NumberedRecord(1));
  EXPECT_EQ(server_->Counters().records_handed, 0u);
  EXPECT_EQ(server_->Counters().records_dropped, 0u);
}

TEST_F(TimeServerTest, ThreeClientsReceiveEveryRecordWholeAndInOrderAndAreListed) {
  StartServer();
  for (int i = 0; i < 3; ++i) AddClient();
  ASSERT_EQ(server_->Clients().ActiveClientCount(), 3);
  for (std::uint16_t row = 1; row <= 3; ++row) {
    const ClientRecord& record = server_->Clients().Row(row);
    EXPECT_TRUE(record.InUse);
    EXPECT_EQ(record.Address, "127.0.0.1");
    EXPECT_EQ(record.Port, clients_[row - 1u]->local_port());
  }
  SendRecords(1, 50);
  ASSERT_TRUE(AllReceived(50 * core::kTimeMessageSize));
  for (const auto& client : clients_) EXPECT_EQ(client->received(), Records(1, 50));
}

TEST_F(TimeServerTest, HundredClientsAllReceiveEveryRecordWhileTheTableListsThirtyTwo) {
  StartServer();
  // Ten hosts, ten clients each: within any host's share.
  for (int i = 0; i < 100; ++i) AddClient(0, static_cast<std::uint8_t>(2 + i % 10));
  ASSERT_EQ(server_->ConnectionCount(), 100u);
  EXPECT_EQ(server_->Clients().ClientRowsUsed(), 32);
  EXPECT_EQ(server_->Clients().ActiveClientCount(), 32);
  SendRecords(1, 10);
  ASSERT_TRUE(AllReceived(10 * core::kTimeMessageSize));
  for (const auto& client : clients_) EXPECT_EQ(client->received(), Records(1, 10));
}

TEST_F(TimeServerTest, ThirtyTwoClientsConnectingAtOnceAllReceiveTheVeryNextRecord) {
  StartServer();
  // Every client of a LAN reconnects at the same instant after a restart. The
  // kernel must complete all the handshakes and hold every connection for
  // accept() while the server's loop is busy elsewhere (here: not running).
  constexpr std::size_t kClients = 32;
  for (std::size_t i = 0; i < kClients; ++i) StartClient(0, static_cast<std::uint8_t>(2 + i % 4));
  ASSERT_TRUE(testing::WaitUntil(
      [&] {
        return std::all_of(clients_.begin(), clients_.end(),
                           [](auto& c) { return c->Connected(); });
      },
      std::chrono::seconds(10), std::chrono::milliseconds(1)))
      << "the listener's backlog turned clients away";

  // One turn of the loop accepts them all; the next record reaches every one.
  ASSERT_TRUE(Pump([&] { return server_->ConnectionCount() == kClients; }));
  SendRecords(1, 1);
  ASSERT_TRUE(AllReceived(core::kTimeMessageSize));
  for (const auto& client : clients_) EXPECT_EQ(client->received(), Records(1, 1));
}

TEST_F(TimeServerTest, HostOverItsShareIsRefusedWhileOtherHostsAreServed) {
  // 192 places: one host may hold 3 of them.
  StartServer({.port = 0, .connection_cap = 192, .look_up_host_names = false});
  constexpr std::uint8_t kFlooder = 2;
  constexpr std::uint8_t kOther = 3;
  for (int i = 0; i < 5; ++i) AddClient(0, kFlooder);
  LanTestClient& other = AddClient(0, kOther);
  EXPECT_EQ(server_->ConnectionCount(), 4u);
  EXPECT_EQ(server_->Counters().connections_refused, 2u);
  EXPECT_EQ(server_->Counters().connections_refused_for_host, 2u);
  EXPECT_TRUE(Pump([&] { return clients_[3]->ended() && clients_[4]->ended(); }));
  EXPECT_EQ(server_->Clients().Row(4).Address, "127.0.0.3");

  // A closed connection gives the host its place back.
  clients_[0]->Close();
  ASSERT_TRUE(Pump([&] { return server_->ConnectionCount() == 3; }));
  LanTestClient& again = AddClient(0, kFlooder);
  EXPECT_EQ(server_->ConnectionCount(), 4u);

  SendRecords(1, 1);
  for (LanTestClient* client : {clients_[1].get(), clients_[2].get(), &other, &again}) {
    EXPECT_TRUE(Pump([&] { return client->received() == Records(1, 1); }));
    EXPECT_FALSE(client->ended());
  }
}

TEST_F(TimeServerTest, ClientThatStopsReadingLosesWholeRecordsOnlyAndDelaysNoOne) {
  StartServer();
  LanTestClient& slow = AddClient(/*receive_buffer=*/1024);
  AddClient();
  AddClient();
  slow.set_paused(true);
  // Send until the slow client's buffers are full and records get dropped for it.
  std::uint32_t sent = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (server_->Counters().records_dropped < 20 && sent < 400'000 &&
         std::chrono::steady_clock::now() < deadline) {
    server_->Retransmit_to_LAN(NumberedRecord(++sent));
    QCoreApplication::processEvents();
    if (sent % 64 == 0) Pump([] { return true; });
  }
  ASSERT_GE(server_->Counters().records_dropped, 20u) << "after " << sent << " records";

  // The slow client reads again; a final record shows that it caught up.
  slow.set_paused(false);
  const std::uint32_t final_record = sent + 1;
  std::uint32_t next = final_record;
  ASSERT_TRUE(Pump(
      [&] {
        const auto& bytes = slow.received();
        if (bytes.size() >= core::kTimeMessageSize && bytes.size() % core::kTimeMessageSize == 0 &&
            SequenceOf(std::span(bytes).last(core::kTimeMessageSize)) >= final_record) {
          return true;
        }
        server_->Retransmit_to_LAN(NumberedRecord(next++));
        return false;
      },
      std::chrono::seconds(20)));

  const auto& bytes = slow.received();
  ASSERT_EQ(bytes.size() % core::kTimeMessageSize, 0u);
  std::uint32_t previous = 0;
  for (std::size_t at = 0; at < bytes.size(); at += core::kTimeMessageSize) {
    const auto record = std::span(bytes).subspan(at, core::kTimeMessageSize);
    const std::uint32_t sequence = SequenceOf(record);
    ASSERT_EQ(std::vector(record.begin(), record.end()), Records(sequence, sequence))
        << "record at byte " << at << " is not whole";
    ASSERT_GT(sequence, previous);
    previous = sequence;
  }
  EXPECT_LT(bytes.size() / core::kTimeMessageSize, next - 1u) << "some records were lost";
  const std::size_t all = (next - 1u) * core::kTimeMessageSize;
  ASSERT_TRUE(Pump([&] {
    return clients_[1]->received().size() >= all && clients_[2]->received().size() >= all;
  }));
  EXPECT_EQ(clients_[1]->received(), Records(1, next - 1u));
  EXPECT_EQ(clients_[2]->received(), Records(1, next - 1u));
}

TEST_F(TimeServerTest, BytesFromClientsAreDiscardedWithoutEffect) {
  StartServer();
  LanTestClient& talker = AddClient();
  AddClient();
  const std::vector<std::uint8_t> junk(64 * 1024, 0x5A);
  std::size_t pushed = 0;
  for (std::uint32_t n = 1; n <= 40; ++n) {
    pushed += talker.Send(junk);
    SendRecords(n, n);
    Pump([] { return true; });
  }
  EXPECT_GT(pushed, junk.size()) << "the server should keep reading what clients send";
  ASSERT_TRUE(AllReceived(40 * core::kTimeMessageSize));
  for (const auto& client : clients_) EXPECT_EQ(client->received(), Records(1, 40));
  EXPECT_EQ(server_->ConnectionCount(), 2u);
  EXPECT_EQ(server_->Clients().ActiveClientCount(), 2);
}

TEST_F(TimeServerTest, ClosedOrResetClientFreesItsRowAndTheNextClientTakesIt) {
  for (const bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "reset" : "orderly close");
    clients_.clear();
    StartServer();
    for (int i = 0; i < 3; ++i) AddClient();
    const int calls_before = observer_.calls;
    clients_[1]->Close(reset);
    ASSERT_TRUE(Pump([&] { return server_->ConnectionCount() == 2; }));
    EXPECT_GT(observer_.calls, calls_before);
    EXPECT_EQ(observer_.last_active, 2);
    EXPECT_EQ(server_->Clients().Row(2), ClientRecord{});
    EXPECT_EQ(server_->Clients().ActiveClientCount(), 2);

    LanTestClient& fourth = AddClient();
    EXPECT_EQ(server_->Clients().Row(2).Port, fourth.local_port());
    EXPECT_EQ(server_->Clients().ClientRowsUsed(), 3);
    EXPECT_EQ(server_->Clients().ActiveClientCount(), 3);

    SendRecords(1, 3);
    EXPECT_TRUE(Pump([&] {
      return clients_[0]->received().size() == 3 * core::kTimeMessageSize &&
             fourth.received().size() == 3 * core::kTimeMessageSize;
    }));
    EXPECT_EQ(fourth.received(), Records(1, 3));
  }
}

TEST_F(TimeServerTest, ActivatingAgainKeepsTheListenerAndEveryClient) {
  StartServer();
  AddClient();
  AddClient();
  const std::uint16_t port = server_->ListeningPort();
  EXPECT_TRUE(server_->Activate().ok());
  EXPECT_EQ(server_->ListeningPort(), port);
  EXPECT_EQ(server_->ConnectionCount(), 2u);
  EXPECT_EQ(server_->Clients().ActiveClientCount(), 2);
  SendRecords(1, 2);
  ASSERT_TRUE(AllReceived(2 * core::kTimeMessageSize));
  for (const auto& client : clients_) EXPECT_EQ(client->received(), Records(1, 2));
}

TEST_F(TimeServerTest, PortInUseGivesTheOperatorsMessageNamingBind) {
  StartServer();
  TimeServer second(loop_, TimeServerOptions{.port = server_->ListeningPort()});
  const core::Status status = second.Activate();
  EXPECT_EQ(status.code(), core::StatusCode::kSocketError);
  EXPECT_EQ(status.message(), "Windows socket error: Address already in use (98), on API 'bind'");
  EXPECT_FALSE(second.IsActive());
}

TEST_F(TimeServerTest, ConnectionsOverTheCapAreClosedAtOnce) {
  StartServer({.port = 0, .connection_cap = 2, .look_up_host_names = false});
  // Each from its own address: below 64 places a host holds one.
  for (int i = 0; i < 4; ++i) AddClient(0, static_cast<std::uint8_t>(2 + i));
  EXPECT_EQ(server_->Counters().connections_refused_for_host, 0u);
  EXPECT_EQ(server_->ConnectionCount(), 2u);
  EXPECT_EQ(server_->Counters().connections_refused, 2u);
  EXPECT_TRUE(Pump([&] { return clients_[2]->ended() && clients_[3]->ended(); }));
  SendRecords(1, 1);
  EXPECT_TRUE(Pump([&] { return clients_[1]->received().size() == core::kTimeMessageSize; }));
  EXPECT_FALSE(clients_[0]->ended());
}

TEST_F(TimeServerTest, FullServerIsToldOnceAndAgainOnlyAfterItHadRoom) {
  StartServer({.port = 0, .connection_cap = 3, .look_up_host_names = false});
  std::vector<bool> told;
  server_->SetFullnessListener([&told](bool full) { told.push_back(full); });
  // Below 64 places each host holds one: every client comes from its own address.
  std::uint8_t next_host = 2;
  for (int i = 0; i < 3; ++i) AddClient(0, next_host++);
  EXPECT_EQ(told, std::vector<bool>{true}) << "told when the last place was taken";
  AddClient(0, next_host++);
  AddClient(0, next_host++);
  EXPECT_EQ(server_->Counters().connections_refused, 2u);
  EXPECT_EQ(told, std::vector<bool>{true}) << "refusals tell nothing more";

  clients_[0]->Close();
  ASSERT_TRUE(Pump([&] { return server_->ConnectionCount() == 2; }));
  EXPECT_EQ(told, (std::vector<bool>{true, false}));
  AddClient(0, next_host++);
  EXPECT_EQ(server_->ConnectionCount(), 3u);
  EXPECT_EQ(told, (std::vector<bool>{true, false, true})) << "full again after it had room";
  EXPECT_EQ(ServiceFullNotice(server_->ConnectionCount()),
            "TCP service full: 3 connections; new clients refused");
}

// A closed connection's lookup is cancelled, and a late name for a row that
// another connection holds now is ignored; names are cut to 16 characters.
TEST_F(TimeServerTest, HostNameReachesOnlyTheConnectionThatAskedForIt) {
  auto owned = std::make_unique<HeldLookup>();
  HeldLookup& lookup = *owned;
  StartServer({.port = 0}, std::move(owned));
  AddClient();
  const std::uint32_t first_id = server_->Clients().Row(1).Handle;
  ASSERT_EQ(lookup.addresses, (std::map<std::uint64_t, std::string>{{1, "127.0.0.1"}}));
  clients_[0]->Close();
  ASSERT_TRUE(Pump([&] { return server_->ConnectionCount() == 0; }));
  EXPECT_EQ(lookup.cancelled, std::vector<std::uint64_t>{1});
  AddClient();
  ASSERT_NE(server_->Clients().Row(1).Handle, first_id);
  ASSERT_EQ(lookup.answers.count(2), 1u);

  server_->ApplyHostLookup(first_id, "stale.example");
  EXPECT_EQ(server_->Clients().Row(1).HostName, "");
  lookup.answers[2]("a-very-long-host-name.example.org");
  EXPECT_EQ(server_->Clients().Row(1).HostName, "a-very-long-host");
}

TEST_F(TimeServerTest, HostNameComesFromTheReverseLookupInTheBackground) {
  // What the resolver says about 127.0.0.1 on this machine, found independently.
  sockaddr_in loopback{};
  loopback.sin_family = AF_INET;
  loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  char name[NI_MAXHOST] = "";
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&loopback), sizeof loopback, name,
                    sizeof name, nullptr, 0, NI_NAMEREQD) != 0) {
    GTEST_SKIP() << "127.0.0.1 has no name here";
  }
  StartServer({.port = 0});
  AddClient();
  EXPECT_TRUE(Pump([&] { return !server_->Clients().Row(1).HostName.empty(); }));
  EXPECT_EQ(server_->Clients().Row(1).HostName, std::string(name).substr(0, 16));
}

TEST_F(TimeServerTest, DestructionClosesEveryConnectionEvenWithLookupsUnderWay) {
  StartServer({.port = 0});
  AddClient();
  AddClient();
  server_.reset();
  EXPECT_TRUE(Pump([&] { return clients_[0]->ended() && clients_[1]->ended(); }));
}

}  // namespace
}  // namespace orvik::service
