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
// "stopped") go to the `say` hook. main() builds one and calls Run().
//
// Main thread only.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

#include "service/communication_monitor.h"
#include "service/gps_time_service.h"
#include "service/termination_signals.h"

namespace orvik::service {

struct HeadlessOptions {
  // Writes one status line; unset: "orvik-gpstimed: <line>" on stderr.
  std::function<void(const std::string&)> say;
};

class HeadlessProgram : public QObject {
  Q_OBJECT

 public:
  // `service` must outlive this object.
  explicit HeadlessProgram(GpsTimeService& service, HeadlessOptions options = {});
  ~HeadlessProgram() override;

  HeadlessProgram(const HeadlessProgram&) = delete;
  HeadlessProgram& operator=(const HeadlessProgram&) = delete;

  // Starts the watchdog and the communication check, then runs the start-up
  // sequence (its error is said; the watchdog retries it).
  void Start();
  // Stops the timers and the acquisition and says "stopped". Once only.
  void Stop();
  // Start(), the event loop until a signal of `termination` arrives (or the
  // loop is quit otherwise), then Stop(). Returns the exit code, 0.
  // REQUIRES: a QCoreApplication exists.
  int Run(TerminationSignals& termination);

  // One period of each timer, exactly as the timer runs it (tests call
  // them instead of waiting).
  void onDisplayTick();
  void onCommunicationTick();
  void onWatchdogTick();

  // True while the 1-second tick runs.
  bool DisplayTickRunning() const { return display_timer_.isActive(); }

 private:
  void onStartupCompleted();
  void Say(const std::string& line) const;

  GpsTimeService& service_;
  const HeadlessOptions options_;
  CommunicationMonitor monitor_;
  QTimer display_timer_;
  QTimer communication_timer_;
  QTimer watchdog_;
  bool stopped_ = false;
};

}  // namespace orvik::service
