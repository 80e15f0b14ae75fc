#include "service/system_service_run.h"

#include <utility>

namespace orvik::service {

// Hands the manager's requests to the program, each told as stop pending
// first (in the manager's thread, so the manager hears at once).
class SystemServiceRun::StopRequests : public platform::TerminationRequests {
 public:
  explicit StopRequests(SystemServiceRun& run) : run_(run) {}

  void Listen(Handler handler) override {
    run_.manager_.Listen([this, handler = std::move(handler)](int code) {
      run_.TellState(platform::ServiceState::kStopPending);
      handler(code);
    });
  }
  bool ok() const override { return run_.manager_.ok(); }

 private:
  SystemServiceRun& run_;
};

SystemServiceRun::SystemServiceRun(platform::ServiceManagerLink& manager,
                                   platform::SystemEventLog& events)
    : manager_(manager), events_(events) {}

HeadlessOptions SystemServiceRun::ProgramOptions(std::function<void(const std::string&)> say) {
  return HeadlessOptions{
      .say = std::move(say),
      .report = [this](StatusKind kind, const std::string& line) { ReportToEventLog(kind, line); },
  };
}

int SystemServiceRun::Run(MainLoop& loop, HeadlessProgram& program) {
  TellState(platform::ServiceState::kStartPending);
  // The first work of the loop, after the program's start-up sequence.
  loop.Post([this] { TellState(platform::ServiceState::kRunning); });
  StopRequests requests(*this);
  return program.Run(requests);
}

void SystemServiceRun::TellState(platform::ServiceState state) {
  const std::lock_guard lock(state_mutex_);
  // A stop asked for before the loop turned: the manager never hears
  // "running" after "stop pending".
  if (stopping_ && state != platform::ServiceState::kStopPending) return;
  if (state == platform::ServiceState::kStopPending) stopping_ = true;
  manager_.Report(state);
}

void SystemServiceRun::ReportToEventLog(StatusKind kind, const std::string& line) {
  using platform::EventSeverity;
  switch (kind) {
    case StatusKind::kStarted:
    case StatusKind::kStopped:
      events_.Write(EventSeverity::kInformation, line);
      return;
    case StatusKind::kStartupError:
      events_.Write(EventSeverity::kError, line);
      return;
    case StatusKind::kNotice:
      events_.Write(EventSeverity::kWarning, line);
      return;
    case StatusKind::kLoss:
      // A receiver, its port or the clock lost is worth a warning; their
      // return and the receiving states only go to the status lines.
      events_.Write(EventSeverity::kWarning, line);
      return;
    case StatusKind::kCommunication:
      return;
  }
}

}  // namespace orvik::service
