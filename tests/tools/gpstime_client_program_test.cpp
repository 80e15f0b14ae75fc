// Runs the real gpstime-client program against a time server in this test's
// own process, on 127.0.0.1 and a port the system chooses. Every wait is bounded.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <memory>
#include <string>

#include "orvik_version.h"
#include "service/lan_test_client.h"
#include "service/time_server.h"

namespace orvik::tools {
namespace {

using service::TimeServer;
using service::TimeServerOptions;

bool Pump(const std::function<bool()>& done) {
  return testing::PumpUntil(done, {}, std::chrono::seconds(10));
}

class ClientProgramTest : public ::testing::Test {
 protected:
  void StartClient(std::uint16_t port, QStringList extra) {
    extra << "--port" << QString::number(port);
    client_.start(QStringLiteral(GPSTIME_CLIENT_PATH), extra);
    ASSERT_TRUE(client_.waitForStarted(5000));
  }
  bool Finished() {
    return Pump([&] { return client_.state() == QProcess::NotRunning; });
  }
  std::string Output() { return client_.readAllStandardOutput().toStdString(); }
  std::string Errors() { return client_.readAllStandardError().toStdString(); }

  QProcess client_;
};

TEST_F(ClientProgramTest, PrintsEachRecordAndStopsAfterCount) {
  TimeServer server(TimeServerOptions{.port = 0, .look_up_host_names = false});
  ASSERT_TRUE(server.Activate().ok());
  StartClient(server.ListeningPort(), {"--count", "2", "--raw"});
  ASSERT_TRUE(Pump([&] { return server.ConnectionCount() == 1; }));
  for (std::uint32_t n = 1; n <= 3; ++n) {
    core::TimeMessage record = testing::NumberedRecord(n);
    record[core::kOffsetSecond] = static_cast<std::uint8_t>(n);
    server.Retransmit_to_LAN(record);
    QCoreApplication::processEvents();
  }
  ASSERT_TRUE(Finished());
  EXPECT_EQ(client_.exitCode(), 0) << Errors();
  std::string expected;
  for (int n = 1; n <= 2; ++n) {
    std::string hex =
        " 0c 07 07 ea 0d 05 0" + std::to_string(n) + " 00 00 00 0" + std::to_string(n);
    for (int i = 11; i < 34; ++i) hex += " 00";
    hex += " 09 07 fb fc fd";
    expected += "2026-12-07 13:05:0" + std::to_string(n) + "  visible 9  tracked 7 " + hex + "\n";
  }
  EXPECT_EQ(Output(), expected);
}

TEST_F(ClientProgramTest, ServerThatClosesEndsTheClientWithAnError) {
  auto server = std::make_unique<TimeServer>(TimeServerOptions{.port = 0});
  ASSERT_TRUE(server->Activate().ok());
  StartClient(server->ListeningPort(), {"--count", "5"});
  ASSERT_TRUE(Pump([&] { return server->ConnectionCount() == 1; }));
  server->Retransmit_to_LAN(testing::NumberedRecord(1));
  QCoreApplication::processEvents();
  server.reset();
  ASSERT_TRUE(Finished());
  EXPECT_EQ(client_.exitCode(), 1);
  EXPECT_EQ(Output(), "2026-12-07 13:05:00  visible 9  tracked 7\n");
  EXPECT_NE(Errors().find("closed the connection"), std::string::npos) << Errors();
}

TEST_F(ClientProgramTest, NoServerAndBadUsageAreReported) {
  std::uint16_t free_port = 0;
  {
    TimeServer probe(TimeServerOptions{.port = 0});
    ASSERT_TRUE(probe.Activate().ok());
    free_port = probe.ListeningPort();
  }
  StartClient(free_port, {"--host", "127.0.0.1"});
  ASSERT_TRUE(Finished());
  EXPECT_EQ(client_.exitCode(), 1);
  EXPECT_NE(Errors().find("cannot connect to 127.0.0.1:" + std::to_string(free_port)),
            std::string::npos)
      << Errors();

  StartClient(free_port, {"--bogus"});
  ASSERT_TRUE(Finished());
  EXPECT_EQ(client_.exitCode(), 2);

  StartClient(free_port, {"--version"});  // answered without connecting
  ASSERT_TRUE(Finished());
  EXPECT_EQ(client_.exitCode(), 0);
  EXPECT_EQ(Output(), std::string("gpstime-client ") + kVersion + "\n");
}

}  // namespace
}  // namespace orvik::tools

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
