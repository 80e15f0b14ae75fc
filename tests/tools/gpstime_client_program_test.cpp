// Runs the real gpstime-client program against a time server in this test's
// own process, on 127.0.0.1 and a port the system chooses. Every wait is bounded.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <memory>
#include <string>
#include <vector>

#include "orvik_version.h"
#include "service/qt/qt_main_loop.h"
#include "service/time_server.h"
#include "support/child_process.h"
#include "support/file_text.h"
#include "support/lan_test_client.h"
#include "support/qt_event_wait.h"
#include "support/temp_dir.h"

namespace orvik::tools {
namespace {

using namespace std::chrono_literals;
using service::TimeServer;
using service::TimeServerOptions;
using testing::PumpEventsUntil;

class ClientProgramTest : public ::testing::Test {
 protected:
  void StartClient(std::uint16_t port, std::vector<std::string> extra) {
    testing::ProcessOptions options;
    options.argv = {GPSTIME_CLIENT_PATH, "--port", std::to_string(port)};
    options.argv.insert(options.argv.end(), extra.begin(), extra.end());
    options.capture_stdout = true;
    options.stderr_file = dir_.path() / "client.stderr";
    client_ = std::make_unique<testing::ChildProcess>(options);
    ASSERT_TRUE(client_->started()) << client_->failure();
  }
  // The client's exit code once it has ended while the server runs on; -1
  // when it did not end.
  int ExitCode() {
    if (!PumpEventsUntil([&] { return !client_->Running(); })) return -1;
    const std::optional<int> status = client_->WaitForExit(0ms);
    return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
  }
  std::string Output() { return client_->ReadRest(5s); }
  std::string Errors() { return testing::ReadFileText(dir_.path() / "client.stderr"); }

  service::QtMainLoop loop_;
  testing::TempDir dir_;
  std::unique_ptr<testing::ChildProcess> client_;
};

TEST_F(ClientProgramTest, PrintsEachRecordAndStopsAfterCount) {
  TimeServer server(loop_, TimeServerOptions{.port = 0, .look_up_host_names = false});
  ASSERT_TRUE(server.Activate().ok());
  StartClient(server.ListeningPort(), {"--count", "2", "--raw"});
  ASSERT_TRUE(PumpEventsUntil([&] { return server.ConnectionCount() == 1; }));
  for (std::uint32_t n = 1; n <= 3; ++n) {
    core::TimeMessage record = testing::NumberedRecord(n);
    record[core::kOffsetSecond] = static_cast<std::uint8_t>(n);
    server.Retransmit_to_LAN(record);
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(ExitCode(), 0) << Errors();
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
  auto server = std::make_unique<TimeServer>(loop_, TimeServerOptions{.port = 0});
  ASSERT_TRUE(server->Activate().ok());
  StartClient(server->ListeningPort(), {"--count", "5"});
  ASSERT_TRUE(PumpEventsUntil([&] { return server->ConnectionCount() == 1; }));
  server->Retransmit_to_LAN(testing::NumberedRecord(1));
  QCoreApplication::processEvents();
  server.reset();
  EXPECT_EQ(ExitCode(), 1);
  EXPECT_EQ(Output(), "2026-12-07 13:05:00  visible 9  tracked 7\n");
  EXPECT_NE(Errors().find("closed the connection"), std::string::npos) << Errors();
}

TEST_F(ClientProgramTest, NoServerAndBadUsageAreReported) {
  std::uint16_t free_port = 0;
  {
    TimeServer probe(loop_, TimeServerOptions{.port = 0});
    ASSERT_TRUE(probe.Activate().ok());
    free_port = probe.ListeningPort();
  }
  StartClient(free_port, {"--host", "127.0.0.1"});
  EXPECT_EQ(ExitCode(), 1);
  EXPECT_NE(Errors().find("cannot connect to 127.0.0.1:" + std::to_string(free_port)),
            std::string::npos)
      << Errors();

  StartClient(free_port, {"--bogus"});
  EXPECT_EQ(ExitCode(), 2);

  StartClient(free_port, {"--version"});  // answered without connecting
  EXPECT_EQ(ExitCode(), 0);
  EXPECT_EQ(Output(), std::string("gpstime-client ") + kVersion + "\n");
}

}  // namespace
}  // namespace orvik::tools
