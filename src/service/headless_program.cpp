#include "service/headless_program.h"

#include <cstdio>
#include <utility>

#include "core/port_settings.h"

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
      subscription_(service.Listen(ServiceListener{
          .startup_failed =
              [this](const std::string& message) { Say(StatusKind::kStartupError, message); },
          .notice = [this](const std::string& message) { Say(StatusKind::kNotice, message); },
          .commands_menu_enabled_changed = {},
          .restart_finished =
              [this](bool started) {
                if (started) onStartupCompleted();
              },
          .status = [this](const StatusSnapshot& snapshot) { onStatus(snapshot); },
      })) {}

HeadlessProgram::~HeadlessProgram() = default;

void HeadlessProgram::Start() {
  if (service_.Start().ok()) onStartupCompleted();
}

void HeadlessProgram::RequestEnd() {
  service_.End([this] { loop_.Quit(); });  // the service ends once
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
  Say(StatusKind::kStarted,
      "serving time on TCP port " + std::to_string(service_.server().ListeningPort()) +
          "; receiver on COM" +
          std::to_string(core::ComNumberFromPortNumber(service_.settings().PortNumber)));
}

void HeadlessProgram::onStatus(const StatusSnapshot& snapshot) {
  if (snapshot.tick != StatusSnapshot::Tick::kCommunication) return;
  for (const CommunicationMonitor::Line& line : monitor_.Tick(snapshot)) {
    Say(line.loss ? StatusKind::kLoss : StatusKind::kCommunication, line.text);
  }
}

void HeadlessProgram::Say(StatusKind kind, const std::string& line) const {
  if (options_.say) {
    options_.say(line);
  } else {
    SayOnStderr(line);
  }
  if (options_.report) options_.report(kind, line);
}

}  // namespace orvik::service
