// The headless program run as a system service, on test doubles: what the
// service manager is told and when, the orderly end on its stop, and what
// reaches the system's event log.
#include "service/system_service_run.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/settings_file.h"
#include "fakes/fake_service_manager_link.h"
#include "fakes/service/fake_service_environment.h"

namespace orvik::testing {
namespace {

using platform::EventSeverity;
using platform::ServiceState;

constexpr core::DateTime kNow{2026, 12, 2, 8, 12, 0, 0, 0};
constexpr int kStopControl = 1;

class SystemServiceRunTest : public ::testing::Test {
 protected:
  SystemServiceRunTest() {
    core::Settings logging;
    logging.LoggingEnabled = true;
    env_.files.Set(core::kSettingsFileName, core::SettingsFileText(logging));
  }

  std::string ServingLine() const {
    return "serving time on TCP port " + std::to_string(service_->server().ListeningPort()) +
           "; receiver on COM2";
  }

  FakeServiceEnvironment env_{kNow};
  FakeServiceManagerLink manager_;
  RecordingEventLog events_;
  service::SystemServiceRun run_{manager_, events_};
  std::vector<std::string> said_;
  std::unique_ptr<service::GpsTimeService> service_ = env_.MakeService();
  service::HeadlessProgram program_{
      env_.loop, *service_,
      run_.ProgramOptions([this](const std::string& line) { said_.push_back(line); })};
};

TEST_F(SystemServiceRunTest, TheManagersStopEndsTheRunInOrderAfterEachStateWasTold) {
  std::thread manager_thread;
  // The stop comes from the manager's own thread once the service runs: it
  // is posted from the loop's first turn, behind the run's "running".
  QTimer::singleShot(0, [&] {
    env_.loop.Post([&] {
      manager_thread = std::thread([&] { EXPECT_TRUE(manager_.SendStop(kStopControl)); });
    });
  });
  EXPECT_EQ(run_.Run(env_.loop, program_), 0);
  manager_thread.join();

  EXPECT_EQ(manager_.States(),
            (std::vector<ServiceState>{ServiceState::kStartPending, ServiceState::kRunning,
                                       ServiceState::kStopPending}));
  EXPECT_FALSE(service_->AcquisitionRunning());
  ASSERT_FALSE(env_.log.Lines().empty());
  EXPECT_EQ(env_.log.Lines().back(), "Stop");
  EXPECT_EQ(
      events_.Events(),
      (std::vector<RecordingEventLog::Event>{
          {EventSeverity::kWarning, "Serial line read at normal priority: no right to raise it."},
          {EventSeverity::kInformation, ServingLine()},
          {EventSeverity::kInformation, "stopped"}}));
  EXPECT_EQ(said_.back(), "stopped");
}

TEST_F(SystemServiceRunTest, AStopBeforeTheLoopTurnedIsNeverFollowedByRunning) {
  env_.files.Set(core::kSettingsFileName, "x\r\n");
  // Runs before the run's own first work: the program listens by then.
  env_.loop.Post([&] { EXPECT_TRUE(manager_.SendStop(kStopControl)); });
  EXPECT_EQ(run_.Run(env_.loop, program_), 0);

  EXPECT_EQ(manager_.States(),
            (std::vector<ServiceState>{ServiceState::kStartPending, ServiceState::kStopPending}));
  const auto events = events_.Events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(),
            (RecordingEventLog::Event{EventSeverity::kError, "'x' is not a valid integer value"}));
}

TEST_F(SystemServiceRunTest, OnlyLossesOfTheReceiverItsPortOrTheClockAreLogged) {
  // The program reports what each communication check of the service finds.
  service::SharedState& shared = service_->shared();
  const auto check = [&] { service_->CommunicationTick(); };
  check();  // nothing received yet
  shared.receiver_port.SetProblem("COM2: no such port");
  check();
  shared.receiver_port.SetProblem("");
  shared.display.Show({{"13:5:0", "7.12.2026", "8 / 6"}, true});
  check();
  shared.display.Show({{"13:5:3", "7.12.2026", "8 / 6"}, true});
  shared.clock_keeping.SetProblem("PC clock not set: no time privilege");
  check();
  shared.display.Show({{"13:5:6", "7.12.2026", "8 / 6"}, true});
  shared.clock_keeping.SetProblem("");
  check();
  EXPECT_EQ(events_.Events(),
            (std::vector<RecordingEventLog::Event>{
                {EventSeverity::kWarning, "No communication!"},
                {EventSeverity::kWarning, "COM2: no such port"},
                {EventSeverity::kWarning, "PC clock not set: no time privilege"}}));
}

}  // namespace
}  // namespace orvik::testing
