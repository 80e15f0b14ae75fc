// The headless program on a service made of test doubles: its status lines,
// the service's periods after a failed and after a completed start-up, and
// its orderly end on a termination signal.
#include "service/headless_program.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "core/settings_file.h"
#include "fakes/service/fake_service_environment.h"
#include "platform/posix/posix_termination_requests.h"
#include "support/qt_event_wait.h"

namespace orvik::testing {
namespace {

// Summer time begins at 03:00 on the last Sunday of March: 29 March 2026.
// UTC instants: 02:59 and 03:00 local time (UTC + 2 h) on the last Sunday of March.
constexpr core::DateTime kBeforeSummerSwitch{2026, 3, 0, 29, 0, 59, 0, 0};
constexpr core::DateTime kSummerSwitch{2026, 3, 0, 29, 1, 0, 0, 0};

class HeadlessProgramTest : public ::testing::Test {
 protected:
  HeadlessProgramTest()
      : service_(env_.MakeService()),
        program_(env_.loop, *service_,
                 service::HeadlessOptions{
                     .say = [this](const std::string& line) { said_.push_back(line); },
                     .report = {},
                 }) {}

  std::string ServingLine() const {
    return "serving time on TCP port " + std::to_string(service_->server().ListeningPort()) +
           "; receiver on COM2";
  }

  FakeServiceEnvironment env_{kBeforeSummerSwitch};
  std::vector<std::string> said_;
  std::unique_ptr<service::GpsTimeService> service_;
  service::HeadlessProgram program_;
};

TEST_F(HeadlessProgramTest, FailedFirstStartIsRetriedAndThenServesAndSwitchesSummerTime) {
  env_.files.Set(core::kSettingsFileName, "x\r\n");
  program_.Start();
  EXPECT_EQ(said_, std::vector<std::string>{"'x' is not a valid integer value"});
  EXPECT_FALSE(service_->DisplayTickRunning());

  core::Settings summer;
  summer.SummerTime = true;
  env_.files.Set(core::kSettingsFileName, core::SettingsFileText(summer));
  service_->WatchdogTick();  // arms the heartbeat
  service_->WatchdogTick();  // no loop ran for a whole period: restart
  ASSERT_TRUE(PumpEventsUntil([&] { return said_.back() == ServingLine(); }));
  EXPECT_TRUE(service_->DisplayTickRunning());

  env_.clock.SetNow(kSummerSwitch);
  service_->DisplayTick();
  EXPECT_TRUE(PumpEventsUntil([&] { return service_->SummerInEffect(); }));
}

TEST_F(HeadlessProgramTest, EachChangeOfCommunicationIsSaidOnce) {
  service::DisplayState& display = service_->shared().display;
  display.Show({{"13:5:0", "7.12.2026", "8 / 6"}});
  for (const bool seen : {false, false, true, true, false}) {
    display.DataSeenFlag = seen;
    service_->CommunicationTick();
  }
  EXPECT_EQ(said_, (std::vector<std::string>{"No communication!",
                                             "receiving (13:5:0 7.12.2026, satellites 8 / 6)",
                                             "No communication!"}));
}

TEST_F(HeadlessProgramTest, EachReasonThePortCannotBeOpenedIsSaidOnce) {
  const std::string missing = "COM2: no such port";
  const std::string busy = "COM2: access denied (in use by another program)";
  for (const std::string& problem : {missing, missing, busy, std::string(), missing}) {
    service_->shared().receiver_port.SetProblem(problem);
    service_->CommunicationTick();
  }
  std::erase(said_, "No communication!");
  EXPECT_EQ(said_, (std::vector<std::string>{missing, busy, missing}));
}

TEST_F(HeadlessProgramTest, HangupEndsTheRunInOrder) {
  platform::PosixTerminationRequests termination;
  ASSERT_TRUE(termination.ok());
  // A real SIGHUP, sent once the event loop runs: it must come through the
  // signal descriptor, not end the test process; the loop ends only once the
  // acquisition has stopped.
  QTimer::singleShot(0, [] { ::kill(::getpid(), SIGHUP); });
  EXPECT_EQ(program_.Run(termination), 0);
  EXPECT_EQ(said_,
            (std::vector<std::string>{"Serial line read at normal priority: no right to raise it.",
                                      ServingLine(), "stopped"}));
  EXPECT_FALSE(service_->AcquisitionRunning());
  EXPECT_FALSE(service_->DisplayTickRunning());
}

}  // namespace
}  // namespace orvik::testing
