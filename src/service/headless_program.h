// HeadlessProgram: the time server without windows (orvik-gpstimed). It
// starts the service (which runs its own periods) and turns what the service
// tells into status lines: start-up errors, notices, "serving time on TCP
// port N; receiver on COMn" after every completed start-up, each change
// between "receiving (...)", "receiving, no satellites (...)" and
// "No communication!" that the communication check finds, and "stopped".
// They go to the `say` hook. main() builds one and calls Run(); a
// termination request stops the acquisition in order, then ends the loop.
//
// Main thread only.
#pragma once

#include <functional>
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

  // Starts the service (its start-up error is said; the watchdog retries it).
  void Start();
  // A termination request: ends the service in order and quits the loop
  // once the acquisition has ended. Once only.
  void RequestEnd();
  // Start(), the loop until a request of `termination` has been carried out
  // (or the loop is quit otherwise), then says "stopped". Returns the exit
  // code, 0. `termination` must outlive the run.
  int Run(platform::TerminationRequests& termination);

 private:
  void onStartupCompleted();
  void onStatus(const StatusSnapshot& snapshot);
  void Say(StatusKind kind, const std::string& line) const;

  MainLoop& loop_;
  GpsTimeService& service_;
  const HeadlessOptions options_;
  CommunicationMonitor monitor_;
  ServiceEvents::Subscription subscription_;
};

}  // namespace orvik::service
