// HeadlessProgram: the time server without windows (orvik-gpstimed). It runs
// the start-up sequence and drives the service on the same periods as the
// desktop program (program_intervals.h):
//   - the 1-second tick (summer/zone switch), running once a start-up
//     sequence has completed, be it the first or a later one;
//   - the 3-second communication check, which reports each change between
//     "receiving (...)", "receiving, no satellites (...)" and
//     "No communication!";
//   - the 60-second watchdog, which restarts a stalled acquisition and
//     retries a start-up sequence that failed.
// Its status lines (start-up errors, "serving time on TCP port N; receiver
// on COMn" after every completed start-up, the communication states,
// "stopped") go to the `say` hook. main() builds one and calls Run(); a
// termination request stops the acquisition in order, then ends the loop.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/termination_requests.h"
#include "service/communication_monitor.h"
#include "service/gps_time_service.h"
#include "service/main_loop.h"

namespace orvik::service {

// What a status line tells, for whoever sorts them (the Windows event log).
// kCommunication: a change of the receiving or clock state; kLoss: one that
// lost something (no communication, the port not opened, the clock not set).
enum class StatusKind { kStarted, kStartupError, kNotice, kCommunication, kLoss, kStopped };

struct HeadlessOptions {
  // Writes one status line; unset: "orvik-gpstimed: <line>" on stderr.
  std::function<void(const std::string&)> say;
  // Receives every status line once more, with its kind; may be unset.
  std::function<void(StatusKind kind, const std::string& line)> report;
};

class HeadlessProgram {
 public:
  // `loop` and `service` must outlive this object.
  HeadlessProgram(MainLoop& loop, GpsTimeService& service, HeadlessOptions options = {});
  ~HeadlessProgram();

  HeadlessProgram(const HeadlessProgram&) = delete;
  HeadlessProgram& operator=(const HeadlessProgram&) = delete;

  // Starts the watchdog and the communication check, then runs the start-up
  // sequence (its error is said; the watchdog retries it).
  void Start();
  // A termination request: stops the timers, asks for the stop of the
  // acquisition and quits the loop once it has ended. Once only.
  void RequestEnd();
  // Start(), the loop until a request of `termination` has been carried out
  // (or the loop is quit otherwise), then says "stopped". Returns the exit
  // code, 0. `termination` must outlive the run.
  int Run(platform::TerminationRequests& termination);

  // One period of each timer, exactly as the timer runs it (tests call
  // them instead of waiting).
  void onDisplayTick();
  void onCommunicationTick();
  void onWatchdogTick();

  // True while the 1-second tick runs.
  bool DisplayTickRunning() const { return display_timer_->IsActive(); }

 private:
  void onStartupCompleted();
  void Say(StatusKind kind, const std::string& line) const;

  MainLoop& loop_;
  GpsTimeService& service_;
  const HeadlessOptions options_;
  CommunicationMonitor monitor_;
  std::unique_ptr<LoopTimer> display_timer_;
  std::unique_ptr<LoopTimer> communication_timer_;
  std::unique_ptr<LoopTimer> watchdog_;
  ServiceEvents::Subscription subscription_;
  bool ending_ = false;
};

}  // namespace orvik::service
