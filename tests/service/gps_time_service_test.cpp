// The start-up sequence, stop, restart and watchdog of the running system,
// on fakes: an in-memory file system and clock, and an in-memory serial line.
#include "service/gps_time_service.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTcpSocket>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/settings_file.h"
#include "fakes/borrowed_serial_link.h"
#include "fakes/fake_serial_link.h"
#include "fakes/service/fake_service_environment.h"
#include "service/hand_over_bridge.h"
#include "support/lan_test_client.h"
#include "support/qt_event_wait.h"
#include "support/wait_until.h"

namespace orvik::testing {
namespace {

using namespace std::chrono_literals;

constexpr core::DateTime kNow{2026, 12, 2, 8, 12, 0, 0, 0};
// Summer time begins at 03:00 on the last Sunday of March: 29 March 2026.
// UTC instants: 02:59 and 03:00 local time (UTC + 2 h) on the last Sunday of March.
constexpr core::DateTime kBeforeSummerSwitch{2026, 3, 0, 29, 0, 59, 0, 0};
constexpr core::DateTime kSummerSwitch{2026, 3, 0, 29, 1, 0, 0, 0};

// Runs the loop until no lifecycle step is under way or waiting.
bool UntilIdle(service::GpsTimeService& service) {
  return PumpEventsUntil([&] { return !service.LifecycleStepUnderWay(); });
}

// The fake environment's loop, counting the work posted to it (the
// acquisition thread's hand-overs).
class PostCountingLoop : public service::MainLoop {
 public:
  explicit PostCountingLoop(service::MainLoop& inner) : inner_(inner) {}
  void Post(std::function<void()> work) override {
    ++posts;
    inner_.Post(std::move(work));
  }
  std::unique_ptr<service::LoopTimer> MakeTimer(std::function<void()> work) override {
    return inner_.MakeTimer(std::move(work));
  }
  std::unique_ptr<service::SocketWatch> WatchSocket(service::NativeSocket socket,
                                                    std::function<void()> on_readable,
                                                    std::function<void()> on_writable) override {
    return inner_.WatchSocket(socket, std::move(on_readable), std::move(on_writable));
  }
  void Run() override { inner_.Run(); }
  void Quit() override { inner_.Quit(); }

  std::atomic<int> posts = 0;

 private:
  service::MainLoop& inner_;
};

// A restart's callback that keeps the results it receives.
service::GpsTimeService::RestartDone Into(std::vector<std::string>& results) {
  return [&results](const core::Status& started) { results.push_back(started.ToString()); };
}

class ServiceTest : public ::testing::Test {
 protected:
  std::unique_ptr<service::GpsTimeService> MakeService(std::uint16_t port = 0) {
    return env_.MakeService(port);
  }

  FakeServiceEnvironment env_{kNow};
  FakeSystemClock& clock_ = env_.clock;
  FakeTextFiles& files_ = env_.files;
  FakeTimePrivilege& privilege_ = env_.privilege;
  RecordingLogWriter& log_ = env_.log;
  int& links_made_ = env_.links_made;
  std::vector<std::string>& failures_ = env_.failures;
};

TEST_F(ServiceTest, StartsWithDefaultsWhenThereIsNoSettingsFile) {
  auto service = MakeService();
  ASSERT_TRUE(service->FormCreate().ok());
  EXPECT_TRUE(service->AcquisitionRunning());
  EXPECT_TRUE(service->server().IsActive());
  EXPECT_EQ(privilege_.Requests(), 1);
  EXPECT_EQ(links_made_, 1);
  EXPECT_TRUE(failures_.empty());
  EXPECT_FALSE(files_.Exists("GPS_parm.txt"));
}

TEST_F(ServiceTest, AFailingStepEndsTheSequenceWithItsMessage) {
  struct Case {
    const char* settings;
    const char* timeouts;
    std::string message;
    int privilege;
  };
  const Case cases[] = {
      {"x\r\n", nullptr, "'x' is not a valid integer value", 0},
      {"2\r\n2\r\n1\r\n60\r\n;\r\n;\r\n;\r\n13\r\n", nullptr, "Invalid argument to date encode", 0},
      {"2\r\n2\r\n0\r\n", nullptr, "Division by zero", 0},
      {"2\r\n", "title\r\n100,1.5\r\n", "'1.5' is not a valid integer value", 1},
  };
  for (const Case& c : cases) {
    files_ = FakeTextFiles();
    const int requests_before = privilege_.Requests();
    failures_.clear();
    files_.Set("GPS_parm.txt", c.settings);
    if (c.timeouts != nullptr) files_.Set("timeouts.txt", c.timeouts);
    auto service = MakeService();
    const core::Status status = service->FormCreate();
    EXPECT_EQ(status.message(), c.message);
    EXPECT_EQ(failures_, std::vector<std::string>{c.message});
    EXPECT_FALSE(service->AcquisitionRunning()) << c.message;
    EXPECT_EQ(privilege_.Requests() - requests_before, c.privilege) << c.message;
    EXPECT_TRUE(service->server().IsActive()) << "the listener comes first";
  }
}

TEST_F(ServiceTest, PortAlreadyInUseIsReportedWithTheFailingCall) {
  auto first = MakeService();
  ASSERT_TRUE(first->FormCreate().ok());
  auto second = MakeService(first->server().ListeningPort());
  const core::Status status = second->FormCreate();
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(status.message().rfind("Windows socket error: ", 0), 0u) << status.message();
  EXPECT_NE(status.message().find("on API 'bind'"), std::string::npos) << status.message();
  EXPECT_FALSE(second->AcquisitionRunning());
}

TEST_F(ServiceTest, WatchdogRetriesAFailedStartUntilTheFileIsMended) {
  files_.Set("GPS_parm.txt", "oops\r\n");
  auto service = MakeService();
  EXPECT_FALSE(service->FormCreate().ok());
  service->WatchdogTick();  // first tick: arms the heartbeat only
  EXPECT_EQ(failures_.size(), 1u);
  service->WatchdogTick();  // no loop ran for a whole period: restart, fails again
  ASSERT_TRUE(UntilIdle(*service));
  EXPECT_EQ(failures_.size(), 2u);
  files_.Set("GPS_parm.txt", "2\r\n");
  service->WatchdogTick();
  ASSERT_TRUE(UntilIdle(*service));
  EXPECT_TRUE(service->AcquisitionRunning());
  EXPECT_EQ(failures_.size(), 2u);
}

TEST_F(ServiceTest, WatchdogLeavesARunningLoopAlone) {
  auto service = MakeService();
  ASSERT_TRUE(service->FormCreate().ok());
  for (int tick = 0; tick < 3; ++tick) {
    service->WatchdogTick();
    // The loop clears the heartbeat on every pass.
    WaitUntil([&] { return !service->shared().lifecycle.LoopHeartbeat; }, 1s);
  }
  EXPECT_EQ(links_made_, 1);
}

TEST_F(ServiceTest, StartRunsThePeriodsAndTheEndStopsThemBeforeTheAcquisition) {
  auto service = MakeService();
  std::vector<service::StatusSnapshot::Tick> ticks;
  const service::ServiceEvents::Subscription listening = service->Listen(
      {.status = [&](const service::StatusSnapshot& s) { ticks.push_back(s.tick); }});
  ASSERT_TRUE(service->Start().ok());
  EXPECT_TRUE(service->DisplayTickRunning());
  service->DisplayTick();
  service->CommunicationTick();
  EXPECT_EQ(ticks, (std::vector{service::StatusSnapshot::Tick::kDisplay,
                                service::StatusSnapshot::Tick::kCommunication}));
  bool ended = false;
  service->End([&] { ended = true; });
  EXPECT_FALSE(service->DisplayTickRunning());
  ASSERT_TRUE(PumpEventsUntil([&] { return ended; }));
  EXPECT_FALSE(service->AcquisitionRunning());
}

TEST_F(ServiceTest, RestartKeepsTheListenerAndEveryClient) {
  auto service = MakeService();
  ASSERT_TRUE(service->FormCreate().ok());
  const std::uint16_t port = service->server().ListeningPort();
  QTcpSocket client;
  client.connectToHost("127.0.0.1", port);
  ASSERT_TRUE(PumpEventsUntil([&] { return service->server().ConnectionCount() == 1; }));

  std::vector<std::string> results;
  service->RequestRestart(Into(results));
  ASSERT_TRUE(PumpEventsUntil([&] { return !results.empty(); }));
  EXPECT_EQ(results, std::vector<std::string>{"OK"});
  EXPECT_EQ(service->server().ListeningPort(), port);
  EXPECT_EQ(service->server().ConnectionCount(), 1u);
  EXPECT_EQ(client.state(), QAbstractSocket::ConnectedState);
  EXPECT_EQ(links_made_, 2);
  EXPECT_TRUE(service->AcquisitionRunning());
}

TEST_F(ServiceTest, RunningTheSequenceAgainNeverLeavesTwoThreads) {
  auto service = MakeService();
  ASSERT_TRUE(service->FormCreate().ok());
  ASSERT_TRUE(service->FormCreate().ok());
  EXPECT_EQ(links_made_, 2);
  bool stopped = false;
  service->StopAcquisition([&] { stopped = true; });
  ASSERT_TRUE(PumpEventsUntil([&] { return stopped; }));
  EXPECT_FALSE(service->AcquisitionRunning());
}

// The Windows Time service as a query double: what it answers, and how often
// it was asked.
class FakeWindowsTime : public platform::WindowsTimeServiceQuery {
 public:
  explicit FakeWindowsTime(core::WindowsTimeServiceFacts facts) : facts_(std::move(facts)) {}
  core::WindowsTimeServiceFacts Read() const override {
    ++reads;
    return facts_;
  }
  mutable int reads = 0;

 private:
  core::WindowsTimeServiceFacts facts_;
};

TEST_F(ServiceTest, TheWindowsTimeServiceSettingTheClockTooIsToldOnceAndLogged) {
  core::Settings logging;
  logging.LoggingEnabled = true;
  files_.Set("GPS_parm.txt", core::SettingsFileText(logging));
  struct Case {
    core::WindowsTimeServiceFacts facts;
    bool told;
  };
  const Case cases[] = {
      {{.running = true, .sync_type = "NTP", .ntp_server = "time.windows.com,0x9"}, true},
      {{.running = true, .sync_type = "NoSync", .ntp_server = "time.windows.com,0x9"}, false},
      {{.running = false, .sync_type = "NT5DS", .ntp_server = ""}, false},
  };
  for (const Case& c : cases) {
    const FakeWindowsTime windows_time(c.facts);
    service::ServiceEnvironment environment = env_.Environment();
    environment.windows_time = &windows_time;
    service::GpsTimeService service(environment, env_.Options());
    std::vector<std::string> notices;
    const auto subscription = service.Listen(service::ServiceListener{
        .startup_failed = {},
        .notice = [&](const std::string& message) { notices.push_back(message); },
        .commands_menu_enabled_changed = {},
        .restart_finished = {},
    });
    ASSERT_TRUE(service.FormCreate().ok());
    std::vector<std::string> results;
    service.RequestRestart(Into(results));
    ASSERT_TRUE(PumpEventsUntil([&] { return !results.empty(); }));

    EXPECT_EQ(windows_time.reads, 1) << "asked at the first start only";
    const std::string expected = core::WindowsTimeNotice(c.facts);
    const auto told = std::count(notices.begin(), notices.end(), expected);
    const std::vector<std::string> lines = log_.Lines();
    EXPECT_EQ(told, c.told ? 1 : 0) << c.facts.sync_type;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), expected), c.told ? 1 : 0)
        << c.facts.sync_type;
  }
}

TEST_F(ServiceTest, EachThreadRaisesItselfAndTheFirstStartSaysOnceWhatItReached) {
  core::Settings logging;
  logging.LoggingEnabled = true;
  files_.Set("GPS_parm.txt", core::SettingsFileText(logging));
  env_.thread_priority.Allow(false, true);
  auto service = MakeService();
  std::vector<std::string> notices;
  const auto subscription = service->Listen(service::ServiceListener{
      .startup_failed = {},
      .notice = [&](const std::string& message) { notices.push_back(message); },
      .commands_menu_enabled_changed = {},
      .restart_finished = {},
  });
  ASSERT_TRUE(service->FormCreate().ok());
  const std::string reached = "Serial line read at raised priority (fake).";
  EXPECT_EQ(notices, std::vector<std::string>{reached});
  std::vector<std::string> results;
  service->RequestRestart(Into(results));
  ASSERT_TRUE(PumpEventsUntil([&] { return !results.empty(); }));
  ASSERT_TRUE(WaitUntil([&] { return env_.thread_priority.Requests().size() == 4; }, 5s));

  EXPECT_EQ(notices, std::vector<std::string>{reached}) << "a restart says nothing";
  const std::vector<std::string> lines = log_.Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), reached), 1);
  for (const auto& request : env_.thread_priority.Requests()) {
    EXPECT_NE(request.thread, std::this_thread::get_id()) << "raised in the main thread";
  }
}

TEST_F(ServiceTest, AppliedSettingsAreSavedExactlyAndTakeEffectAfterTheRestart) {
  auto service = MakeService();
  ASSERT_TRUE(service->FormCreate().ok());
  core::Settings edited = service->settings();
  edited.PortNumberText = "5";
  edited.Protocol = core::kProtocolMotorolaOncore;
  edited.LoggingEnabled = true;
  bool menu_enabled = false;
  service::ServiceListener listener;
  listener.commands_menu_enabled_changed = [&](bool enabled) { menu_enabled = enabled; };
  const auto subscription = service->Listen(listener);
  std::vector<std::string> results;
  ASSERT_TRUE(service->ApplySettings(edited, Into(results)).ok());
  EXPECT_TRUE(results.empty()) << "the restart runs from the loop";
  ASSERT_TRUE(PumpEventsUntil([&] { return !results.empty(); }));
  EXPECT_EQ(files_.Get("GPS_parm.txt"),
            "5\r\n2\r\n1\r\n60\r\n;ONLY_MIN_SEC\r\n;SOUND_DISABLED\r\n;SUMMER_TIME\r\n3\r\n3\r\n"
            "10\r\n4\r\n0\r\nMotorola_Oncore\r\nLOGGING_ENABLED\r\n0\r\n\r\n");
  EXPECT_EQ(service->settings().PortNumber, 5);
  EXPECT_TRUE(menu_enabled);
  EXPECT_TRUE(service->AcquisitionRunning());
  EXPECT_EQ(log_.Lines().back(), "Start");
}

TEST_F(ServiceTest, FailedSaveIsReportedAndLeavesTheRunningSystemAlone) {
  auto service = MakeService();
  ASSERT_TRUE(service->FormCreate().ok());
  files_.FailWrites(true);
  core::Settings edited = service->settings();
  edited.PortNumberText = "7";
  EXPECT_FALSE(service->ApplySettings(edited, [](const core::Status&) { FAIL(); }).ok());
  EXPECT_FALSE(service->LifecycleStepUnderWay());
  EXPECT_EQ(links_made_, 1);
  EXPECT_TRUE(service->AcquisitionRunning());
  EXPECT_EQ(service->settings().PortNumberText, "2");
}

TEST_F(ServiceTest, SettingsAppliedDuringAnotherStepTakeEffectAfterItAndReportBack) {
  struct Case {
    const char* step;
    int restarts;  // acquisition threads started by the step and after it
    std::function<void(service::GpsTimeService&, std::vector<std::string>&)> begin;
  };
  const Case cases[] = {
      {"restart", 2,
       [](service::GpsTimeService& s, std::vector<std::string>& results) {
         s.RequestRestart(Into(results));
       }},
      {"summer switch", 1,
       [this](service::GpsTimeService& s, std::vector<std::string>&) {
         clock_.SetNow(kSummerSwitch);
         EXPECT_TRUE(s.SummerSwitchTick());
         EXPECT_FALSE(s.SummerInEffect()) << "the offset changes after the pause";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    core::Settings summer;
    summer.SummerTime = true;
    files_.Set(core::kSettingsFileName, core::SettingsFileText(summer));
    clock_.SetNow(kBeforeSummerSwitch);
    auto service = MakeService();
    ASSERT_TRUE(service->FormCreate().ok());
    const int links_before = links_made_;
    core::Settings edited = service->settings();
    edited.PortNumberText = "5";
    std::vector<std::string> results;
    c.begin(*service, results);
    ASSERT_TRUE(PumpEventsUntil([&] { return !service->AcquisitionRunning() || c.restarts == 1; }));
    ASSERT_TRUE(service->LifecycleStepUnderWay());
    EXPECT_TRUE(service->ApplySettings(edited, Into(results)).ok());
    ASSERT_TRUE(UntilIdle(*service));
    EXPECT_EQ(results.size(), static_cast<std::size_t>(c.restarts)) << "each after the other";
    EXPECT_EQ(links_made_ - links_before, c.restarts);
    EXPECT_EQ(service->settings().PortNumber, 5);
    EXPECT_EQ(service->SummerInEffect(), c.restarts == 1) << "the switch took place";
    EXPECT_TRUE(service->AcquisitionRunning());
  }
}

TEST_F(ServiceTest, RestartsAskedTogetherShareOneRunAfterTheOneUnderWay) {
  auto service = MakeService();
  ASSERT_TRUE(service->FormCreate().ok());
  const int links_before = links_made_;
  std::vector<std::string> results;
  std::vector<bool> restarts_finished;
  service::ServiceListener listener;
  listener.restart_finished = [&](bool started) { restarts_finished.push_back(started); };
  const auto subscription = service->Listen(listener);
  service->RequestRestart([&](const core::Status&) { results.push_back("first"); });
  ASSERT_TRUE(PumpEventsUntil([&] { return !service->AcquisitionRunning(); }));
  for (int i = 0; i < 2; ++i) service->RequestRestart(Into(results));
  ASSERT_TRUE(UntilIdle(*service));
  EXPECT_EQ(results, (std::vector<std::string>{"first", "OK", "OK"}));
  EXPECT_EQ(restarts_finished, (std::vector<bool>{true, true}));
  EXPECT_EQ(links_made_ - links_before, 2);
}

// The main thread stays in its loop during a restart: another thread's
// hand-over is served from it, and the pause is not cut short.
TEST_F(ServiceTest, HandOverDuringThePauseIsServedAndThePauseStillLasts) {
  service::ServiceOptions options = env_.Options();
  options.restart_pause = 200ms;
  service::GpsTimeService service(env_.Environment(), options);
  ASSERT_TRUE(service.FormCreate().ok());
  const auto asked = std::chrono::steady_clock::now();
  std::vector<std::string> results;
  service.RequestRestart(Into(results));
  ASSERT_TRUE(PumpEventsUntil([&] { return !service.AcquisitionRunning(); })) << "stopped";
  std::atomic<bool> served = false;
  service::HandOverBridge bridge(std::bind_front(&service::MainLoop::Post, &env_.loop));
  std::thread other([&] { bridge.RunInMainThread([&] { served = results.empty(); }); });
  ASSERT_TRUE(PumpEventsUntil([&] { return !results.empty(); }));
  other.join();
  EXPECT_TRUE(served) << "served before the restart ended";
  EXPECT_GE(std::chrono::steady_clock::now() - asked, options.restart_pause);
}

// Nothing serves the loop while the service is destroyed: the hand-over the
// thread waits in must be released for the thread to end.
TEST_F(ServiceTest, DestructorEndsAThreadBlockedInAHandOver) {
  FakeSerialLink line;
  PostCountingLoop loop(env_.loop);
  auto service = std::make_unique<service::GpsTimeService>(
      service::ServiceEnvironment{
          .clock = env_.clock,
          .monotonic = platform::MachineMonotonicClock(),
          .files = env_.files,
          .privilege = env_.privilege,
          .thread_priority = env_.thread_priority,
          .log = env_.log,
          .loop = loop,
          .working_dir = ".",
          .make_link = [&line] { return std::make_unique<BorrowedSerialLink>(line); },
          .make_refclock_socket = {},
      },
      env_.Options());
  ASSERT_TRUE(service->FormCreate().ok());
  ASSERT_TRUE(line.WaitForStarvedReads(1, 5s));
  line.Feed("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n");
  // The record for the clients is handed over: the thread waits for the loop.
  ASSERT_TRUE(WaitUntil([&] { return loop.posts > 0; }, 10s));
  service.reset();  // returns: a deadlock here ends the test by its time limit
  EXPECT_EQ(loop.posts, 1);
}

// The last place of the LAN service taken: the status line shows it, and the
// operator is told once (in the log too when logging is on) until a place is
// free again; filled up again, told again.
TEST_F(ServiceTest, FullLanServiceIsToldOnceInTheStatusAndTheLogUntilItHasRoom) {
  const std::string full = "TCP service full: 2 connections; new clients refused";
  for (const bool logging : {true, false}) {
    SCOPED_TRACE(logging ? "logging" : "no logging");
    core::Settings settings;
    core::ApplyDefaultSettings(settings, kNow);
    settings.LoggingEnabled = logging;
    files_.Set("GPS_parm.txt", core::SettingsFileText(settings));
    service::ServiceOptions options = env_.Options();
    options.server.connection_cap = 2;  // one place per host
    service::GpsTimeService service(env_.Environment(), options);
    std::vector<std::string> notices;
    service::ServiceListener listener;
    listener.notice = [&notices](const std::string& message) { notices.push_back(message); };
    const auto subscription = service.Listen(listener);
    const std::size_t lines_before = log_.Lines().size();
    const auto logged = [&] {
      const std::vector<std::string> lines = log_.Lines();
      return std::count(lines.begin() + static_cast<std::ptrdiff_t>(lines_before), lines.end(),
                        full);
    };
    ASSERT_TRUE(service.FormCreate().ok());
    const service::TimeServer& server = service.server();
    std::vector<std::unique_ptr<LanTestClient>> clients;
    const auto connect = [&](std::uint8_t host) {
      const std::size_t seen = server.ConnectionCount() + server.Counters().connections_refused;
      clients.push_back(std::make_unique<LanTestClient>(server.ListeningPort(), 0, host));
      return PumpEventsUntil(
          [&] { return server.ConnectionCount() + server.Counters().connections_refused > seen; });
    };

    ASSERT_TRUE(connect(2));
    EXPECT_EQ(service.shared().lan_service.Problem(), "");
    ASSERT_TRUE(connect(3));
    ASSERT_TRUE(connect(4));  // refused
    EXPECT_EQ(server.ConnectionCount(), 2u);
    EXPECT_EQ(service.shared().lan_service.Problem(), full);
    const auto full_notices = [&] { return std::count(notices.begin(), notices.end(), full); };
    EXPECT_EQ(full_notices(), 1);
    EXPECT_EQ(logged(), logging ? 1 : 0);

    clients[0]->Close();
    ASSERT_TRUE(PumpEventsUntil([&] { return server.ConnectionCount() == 1; }));
    EXPECT_EQ(service.shared().lan_service.Problem(), "") << "the line goes when there is room";
    ASSERT_TRUE(connect(5));
    EXPECT_EQ(service.shared().lan_service.Problem(), full);
    EXPECT_EQ(full_notices(), 2);
    EXPECT_EQ(logged(), logging ? 2 : 0);
  }
}

TEST_F(ServiceTest, StopWithNoThreadReturnsAtOnce) {
  auto service = MakeService();
  bool stopped = false;
  service->StopAcquisition([&] { stopped = true; });
  ASSERT_TRUE(PumpEventsUntil([&] { return stopped; }));
  EXPECT_FALSE(service->AcquisitionRunning());
}

}  // namespace
}  // namespace orvik::testing
