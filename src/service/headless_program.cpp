#include "service/headless_program.h"

#include <cstdio>
#include <utility>

#include "core/port_settings.h"
#include "service/program_intervals.h"

namespace orvik::service {

namespace {

// A failed write (stderr closed or gone) is ignored: SIGPIPE is ignored by
// PrepareProcessSignals, and the server goes on without its status lines.
void SayOnStderr(const std::string& line) {
  std::fprintf(stderr, "orvik-gpstimed: %s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace

HeadlessProgram::HeadlessProgram(MainLoop& loop, GpsTimeService& service, HeadlessOptions options)
    : loop_(loop),
      service_(service),
      options_(std::move(options)),
      display_timer_(loop.MakeTimer([this] { onDisplayTick(); })),
      communication_timer_(loop.MakeTimer([this] { onCommunicationTick(); })),
      watchdog_(loop.MakeTimer([this] { onWatchdogTick(); })),
      subscription_(service.Listen(ServiceListener{
          .startup_failed =
              [this](const std::string& message) { Say(StatusKind::kStartupError, message); },
          .notice = [this](const std::string& message) { Say(StatusKind::kNotice, message); },
          .commands_menu_enabled_changed = {},
          .restart_finished =
              [this](bool started) {
                if (started) onStartupCompleted();
              },
      })) {}

HeadlessProgram::~HeadlessProgram() = default;

void HeadlessProgram::Start() {
  watchdog_->Start(kWatchdogInterval);
  communication_timer_->Start(kCommunicationCheckInterval);
  if (service_.FormCreate().ok()) onStartupCompleted();
}

void HeadlessProgram::RequestEnd() {
  if (ending_) return;
  ending_ = true;
  watchdog_->Stop();
  display_timer_->Stop();
  communication_timer_->Stop();
  service_.StopAcquisition([this] { loop_.Quit(); });
}

int HeadlessProgram::Run(platform::TerminationRequests& termination) {
  termination.Listen([this](int) { loop_.Post([this] { RequestEnd(); }); });
  Start();
  loop_.Run();
  // Quit otherwise than by a request: the service's end stops the thread.
  RequestEnd();
  Say(StatusKind::kStopped, "stopped");
  return 0;
}

void HeadlessProgram::onStartupCompleted() {
  if (!display_timer_->IsActive()) display_timer_->Start(kDisplayTickInterval);
  Say(StatusKind::kStarted,
      "serving time on TCP port " + std::to_string(service_.server().ListeningPort()) +
          "; receiver on COM" +
          std::to_string(core::ComNumberFromPortNumber(service_.settings().PortNumber)));
}

void HeadlessProgram::onDisplayTick() { (void)service_.SummerSwitchTick(); }

void HeadlessProgram::onCommunicationTick() {
  for (const CommunicationMonitor::Line& line : monitor_.Tick(service_.shared())) {
    Say(line.loss ? StatusKind::kLoss : StatusKind::kCommunication, line.text);
  }
}

void HeadlessProgram::onWatchdogTick() { service_.WatchdogTick(); }

void HeadlessProgram::Say(StatusKind kind, const std::string& line) const {
  if (options_.say) {
    options_.say(line);
  } else {
    SayOnStderr(line);
  }
  if (options_.report) options_.report(kind, line);
}

}  // namespace orvik::service
