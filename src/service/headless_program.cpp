#include "service/headless_program.h"

#include <QCoreApplication>
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

HeadlessProgram::HeadlessProgram(GpsTimeService& service, HeadlessOptions options)
    : service_(service), options_(std::move(options)) {
  display_timer_.setInterval(kDisplayTickInterval);
  communication_timer_.setInterval(kCommunicationCheckInterval);
  watchdog_.setInterval(kWatchdogInterval);
  connect(&display_timer_, &QTimer::timeout, this, &HeadlessProgram::onDisplayTick);
  connect(&communication_timer_, &QTimer::timeout, this, &HeadlessProgram::onCommunicationTick);
  connect(&watchdog_, &QTimer::timeout, this, &HeadlessProgram::onWatchdogTick);

  connect(&service_, &GpsTimeService::startupFailed, this,
          [this](const QString& message) { Say(message.toStdString()); });
  connect(&service_, &GpsTimeService::notice, this,
          [this](const QString& message) { Say(message.toStdString()); });
  connect(&service_, &GpsTimeService::restartFinished, this, [this](bool started) {
    if (started) onStartupCompleted();
  });
}

HeadlessProgram::~HeadlessProgram() = default;

void HeadlessProgram::Start() {
  watchdog_.start();
  communication_timer_.start();
  if (service_.FormCreate().ok()) onStartupCompleted();
}

void HeadlessProgram::Stop() {
  if (stopped_) return;
  stopped_ = true;
  watchdog_.stop();
  display_timer_.stop();
  communication_timer_.stop();
  service_.StopAcquisition();
  Say("stopped");
}

int HeadlessProgram::Run(TerminationSignals& termination) {
  connect(&termination, &TerminationSignals::received, this, [] { QCoreApplication::quit(); });
  Start();
  QCoreApplication::exec();
  Stop();
  return 0;
}

void HeadlessProgram::onStartupCompleted() {
  if (!display_timer_.isActive()) display_timer_.start();
  Say("serving time on TCP port " + std::to_string(service_.server().ListeningPort()) +
      "; receiver on COM" +
      std::to_string(core::ComNumberFromPortNumber(service_.settings().PortNumber)));
}

void HeadlessProgram::onDisplayTick() { (void)service_.SummerSwitchTick(); }

void HeadlessProgram::onCommunicationTick() {
  for (const std::string& line : monitor_.Tick(service_.shared())) Say(line);
}

void HeadlessProgram::onWatchdogTick() { service_.WatchdogTick(); }

void HeadlessProgram::Say(const std::string& line) const {
  if (options_.say) {
    options_.say(line);
  } else {
    SayOnStderr(line);
  }
}

}  // namespace orvik::service
